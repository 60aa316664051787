#include "app/main_window.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <memory>

#include "app/drives.h"
#include "app/window_style.h"
#include "common/code_pages.h"
#include "common/handles.h"
#include "common/shared_state.h"
#include "install/install_worker.h"

namespace {

constexpr DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | CBS_DROPDOWNLIST;
constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButtonStyle = WS_CHILD | WS_VISIBLE | BS_OWNERDRAW;
constexpr DWORD kProgressStyle = WS_CHILD | WS_VISIBLE | PBS_SMOOTH | PBS_MARQUEE;
constexpr UINT kMarqueeIntervalMs = 20;
constexpr DWORD kFirstMarqueeVersion = 6;  // comctl32's major version
constexpr UINT_PTR kSweepTimer = 1;
constexpr UINT kSweepIntervalMs = 50;
constexpr int kSweepStep = 2;  // percent per tick: one pass in 2.5 s

constexpr wchar_t kStartText[] = L"开始安装";
constexpr wchar_t kOpenFolderText[] = L"打开目录";
constexpr wchar_t kFailureCaption[] = L"安装失败";

Font MakeFont(FontStyle style) {
  return Font(CreateFontW(style.height, 0, 0, 0, style.weight, FALSE, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                          CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kFontFace));
}

// What the window draws with; made in WM_CREATE, deleted in WM_DESTROY.
struct PaintTools {
  Font title, body, label, button;
  Brush locationBackground, cardBackground;
};
PaintTools g_tools;
HWND g_startButton = nullptr;
// comctl32 before version 6 (what a program without a manifest gets) has no marquee; there the
// window moves the bar itself, on a timer.
bool g_sweepBar = false;

HWND MakeControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style,
                 const Box& box, int id, HFONT font) {
  HWND control = CreateWindowExW(0, className, text, style, box.x, box.y, box.width, box.height,
                                 parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  return control;
}

void FillSolid(HDC dc, const RECT& rect, COLORREF colour) {
  const Brush brush(CreateSolidBrush(colour));
  FillRect(dc, &rect, brush.get());
}

// One left- and top-aligned, word-wrapped text block with a transparent background.
void DrawTextBlock(HDC dc, const wchar_t* text, const Box& box, const Font& font,
                   COLORREF colour) {
  const ScopedSelection selection(dc, font.get());
  SetTextColor(dc, colour);
  SetBkMode(dc, TRANSPARENT);
  RECT rect = box.Rect();
  DrawTextW(dc, text, -1, &rect, DT_WORDBREAK);
}

// A marquee-style progress bar ignores PBM_SETPOS, so the style bit is dropped before a
// position is shown and put back before the marquee runs again.
void SetMarqueeStyle(bool marquee) {
  LONG_PTR style = GetWindowLongPtrW(g_progressBar, GWL_STYLE);
  style = marquee ? (style | PBS_MARQUEE) : (style & ~static_cast<LONG_PTR>(PBS_MARQUEE));
  SetWindowLongPtrW(g_progressBar, GWL_STYLE, style);
}

// comctl32 is delay-loaded: ask once InitCommonControlsEx has loaded it.
DWORD CommonControlsMajorVersion() {
  // Through void(*)(), which converts to any function pointer type without a warning.
  const auto getVersion = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void (*)()>(
      GetProcAddress(GetModuleHandleW(L"comctl32.dll"), "DllGetVersion")));
  DLLVERSIONINFO version = {};
  version.cbSize = sizeof version;
  if (!getVersion || FAILED(getVersion(&version))) return 0;
  return version.dwMajorVersion;
}

// Shows that the installer is busy while no percentage is known. Where the window sweeps, the
// marquee style bit stays off: a version 5 bar with it draws no position (Wine's draws a marquee).
void StartBusyBar() {
  SetMarqueeStyle(!g_sweepBar);
  SendMessageW(g_progressBar, PBM_SETMARQUEE, TRUE, kMarqueeIntervalMs);
  if (g_sweepBar) SetTimer(g_mainWindow, kSweepTimer, kSweepIntervalMs, nullptr);
}

void ShowProgress(int percent) {
  SendMessageW(g_progressBar, PBM_SETMARQUEE, FALSE, 0);
  KillTimer(g_mainWindow, kSweepTimer);
  SetMarqueeStyle(false);
  SendMessageW(g_progressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
}

// PBM_STEPIT starts again from the beginning once it passes the end.
LRESULT OnTimer(WPARAM timer) {
  if (timer == kSweepTimer) SendMessageW(g_progressBar, PBM_STEPIT, 0, 0);
  return 0;
}

LRESULT OnCreate(HWND window) {
  g_mainWindow = window;
  g_installDrives = EnumerateInstallDrives();

  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  g_sweepBar = CommonControlsMajorVersion() < kFirstMarqueeVersion;

  g_tools.title = MakeFont(kTitleFont);
  g_tools.body = MakeFont(kBodyFont);
  g_tools.label = MakeFont(kLabelFont);
  g_tools.button = MakeFont(kButtonFont);
  g_tools.locationBackground = Brush(CreateSolidBrush(kLocationBackground));
  g_tools.cardBackground = Brush(CreateSolidBrush(kCardBackground));

  g_driveCombo = MakeControl(window, L"ComboBox", L"", kComboStyle, kDriveComboBox,
                             IDC_DRIVE_COMBO, g_tools.button.get());
  for (const std::wstring& drive : g_installDrives)
    SendMessageW(g_driveCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(drive.c_str()));
  SendMessageW(g_driveCombo, CB_SETCURSEL, 0, 0);

  g_locationLabel = MakeControl(window, L"Static", L"", kLabelStyle, kLocationLabelBox,
                                IDC_LOCATION_LABEL, g_tools.label.get());
  g_startButton = MakeControl(window, L"Button", kStartText, kButtonStyle, kStartButtonBox,
                              IDC_START_BUTTON, g_tools.button.get());
  g_progressBar = MakeControl(window, PROGRESS_CLASSW, L"", kProgressStyle, kProgressBarBox,
                              IDC_PROGRESS_BAR, nullptr);
  SendMessageW(g_progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  SendMessageW(g_progressBar, PBM_SETBARCOLOR, 0, kButtonFace);
  SendMessageW(g_progressBar, PBM_SETBKCOLOR, 0, kProgressBackground);
  SendMessageW(g_progressBar, PBM_SETSTEP, kSweepStep, 0);

  UpdateInstallLocationLabel();
  return 0;
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT client;
  GetClientRect(window, &client);
  FillSolid(dc, client, kWindowBackground);
  FillSolid(dc, kCardBox.Rect(), kCardBackground);
  FillSolid(dc, kLocationBox.Rect(), kLocationBackground);
  DrawTextBlock(dc, L"霁岚舟", kTitleBox, g_tools.title, kTitleText);
  DrawTextBlock(dc, L"选择安装盘符，安装器会自动下载、解压并创建桌面快捷方式", kSubtitleBox,
                g_tools.body, kSubtitleText);
  DrawTextBlock(dc, L"安装位置", kLocationCaptionBox, g_tools.label, kCaptionText);
  DrawTextBlock(dc, L"操作", kActionCaptionBox, g_tools.label, kCaptionText);
  EndPaint(window, &paint);
  return 0;
}

LRESULT OnDrawItem(HWND window, WPARAM wParam, LPARAM lParam) {
  const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
  if (item->CtlID != IDC_START_BUTTON)
    return DefWindowProcW(window, WM_DRAWITEM, wParam, lParam);

  const bool disabled = (item->itemState & ODS_DISABLED) != 0;
  FillSolid(item->hDC, item->rcItem, disabled ? kButtonFaceDisabled : kButtonFace);
  SetTextColor(item->hDC, kButtonText);
  SetBkMode(item->hDC, TRANSPARENT);
  const ScopedSelection selection(item->hDC, g_tools.button.get());
  wchar_t text[64] = {};
  GetWindowTextW(item->hwndItem, text, 64);
  RECT rect = item->rcItem;
  DrawTextW(item->hDC, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  return TRUE;
}

void StartInstallation() {
  // A click can still arrive while a run is under way (a queued message, or BM_CLICK, which
  // Wine delivers to a disabled button); one run at a time.
  if (!IsWindowEnabled(g_startButton)) return;
  EnableWindow(g_startButton, FALSE);
  EnableWindow(g_driveCombo, FALSE);
  StartBusyBar();
  // Nothing waits for the worker; it reports through WM_INSTALL_DONE. A worker that cannot
  // start reports nothing, so the failure is reported here instead of leaving the controls
  // disabled for good.
  KernelHandle worker(CreateThread(nullptr, 0, InstallWorker, nullptr, 0, nullptr));
  if (!worker) PostMessageW(g_mainWindow, WM_INSTALL_DONE, 0, 0);
}

LRESULT OnCommand(WPARAM wParam) {
  const int id = LOWORD(wParam);
  const int code = HIWORD(wParam);
  if (id == IDC_START_BUTTON && code == BN_CLICKED) {
    if (!g_installedFolder.empty()) {
      ShellExecuteW(g_mainWindow, L"open", g_installedFolder.c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
    } else {
      StartInstallation();
    }
  } else if (id == IDC_DRIVE_COMBO && code == CBN_SELCHANGE) {
    UpdateInstallLocationLabel();
  }
  return 0;
}

LRESULT OnCtlColorStatic(HDC dc, HWND control) {
  if (control == g_locationLabel) {
    SetTextColor(dc, kTitleText);
    SetBkColor(dc, kLocationBackground);
    return reinterpret_cast<LRESULT>(g_tools.locationBackground.get());
  }
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<LRESULT>(g_tools.cardBackground.get());
}

LRESULT OnInstallDone(WPARAM wParam, LPARAM lParam) {
  // The text array is ours from the moment it was posted.
  std::unique_ptr<char[]> errorText(reinterpret_cast<char*>(lParam));
  EnableWindow(g_startButton, TRUE);
  EnableWindow(g_driveCombo, TRUE);
  if (wParam != 0) {
    ShowProgress(100);
    SetWindowTextW(g_startButton, kOpenFolderText);
    return 0;
  }
  ShowProgress(0);
  const std::wstring message = errorText ? Utf8ToWide(errorText.get()) : kFailureCaption;
  errorText.reset();
  MessageBoxW(g_mainWindow, message.c_str(), kFailureCaption, MB_OK | MB_ICONERROR);
  return 0;
}

LRESULT OnDestroy() {
  g_tools = PaintTools();
  PostQuitMessage(0);
  return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_PAINT:
      return OnPaint(window);
    case WM_DRAWITEM:
      return OnDrawItem(window, wParam, lParam);
    case WM_COMMAND:
      return OnCommand(wParam);
    case WM_CTLCOLORSTATIC:
      return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
      return OnTimer(wParam);
    case WM_INSTALL_PROGRESS:
      ShowProgress(static_cast<int>(wParam));
      return 0;
    case WM_INSTALL_DONE:
      return OnInstallDone(wParam, lParam);
    case WM_DESTROY:
      return OnDestroy();
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
