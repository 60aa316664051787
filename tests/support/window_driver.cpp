#include "support/window_driver.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "app/main_window.h"

std::wstring TestProgramFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.find_last_of(L'\\'));
}

namespace {

struct WindowSearch {
  DWORD processId;
  const wchar_t* className;
  HWND owner;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  wchar_t className[64] = {};
  GetClassNameW(window, className, 64);
  if ((!search->processId || pid == search->processId) &&
      wcscmp(className, search->className) == 0 &&
      (!search->owner || GetWindow(window, GW_OWNER) == search->owner) &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND FindVisibleWindow(const wchar_t* className, DWORD processId, HWND owner) {
  WindowSearch search = {processId, className, owner, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

KernelHandle StartProgram(const std::wstring& path, DWORD* processId,
                          const wchar_t* currentFolder) {
  std::wstring commandLine = L"\"" + path + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      currentFolder, &startup, &info))
    return KernelHandle();
  KernelHandle thread(info.hThread);
  if (processId) *processId = info.dwProcessId;
  return KernelHandle(info.hProcess);
}

InstallerProcess::InstallerProcess(const std::wstring& exePath) {
  const std::wstring path =
      exePath.empty() ? TestProgramFolder() + L"\\TovarelinInstaller.exe" : exePath;
  process_ = StartProgram(path, &processId_);
  if (!process_) {
    ADD_FAILURE() << "cannot start the installer, error " << GetLastError();
    return;
  }
  WaitUntil([&] {
    window_ = FindVisibleWindow(kMainWindowClass, processId_);
    return window_ != nullptr;
  });
  if (!window_) ADD_FAILURE() << "the installer's window did not appear";
}

InstallerProcess::~InstallerProcess() {
  if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 5000);
  }
}

std::wstring InstallerProcess::Text(HWND control) const {
  wchar_t text[512] = {};
  SendMessageW(control, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<std::wstring> InstallerProcess::DriveEntries() const {
  HWND combo = control(IDC_DRIVE_COMBO);
  std::vector<std::wstring> entries;
  const auto count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t text[64] = {};
    SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    entries.push_back(text);
  }
  return entries;
}

int InstallerProcess::DriveSelection() const {
  return static_cast<int>(SendMessageW(control(IDC_DRIVE_COMBO), CB_GETCURSEL, 0, 0));
}

int InstallerProcess::ProgressPosition() const {
  return static_cast<int>(SendMessageW(control(IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0));
}

bool InstallerProcess::ProgressMoves() const {
  const int start = ProgressPosition();
  return WaitUntil([&] { return ProgressPosition() != start; }, std::chrono::seconds(1));
}

COLORREF InstallerProcess::PixelAt(HWND control, int x, int y) const {
  // Read through the top-level window's DC (a child's DC reads black from another process),
  // and copy into a bitmap of our own first: the screen DC reads as white under Wine.
  POINT point = {x, y};
  MapWindowPoints(control, window_, &point, 1);
  HDC source = GetDC(window_);
  COLORREF colour = CLR_INVALID;
  {
    MemoryDc memory(CreateCompatibleDC(source));
    GdiObject bitmap(CreateCompatibleBitmap(source, 1, 1));
    ScopedSelection selected(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, 1, 1, source, point.x, point.y, SRCCOPY);
    colour = GetPixel(memory.get(), 0, 0);
  }
  ReleaseDC(window_, source);
  return colour;
}

void InstallerProcess::PressButton() {
  SendMessageW(control(IDC_START_BUTTON), BM_CLICK, 0, 0);
}

bool InstallerProcess::SelectDrive(const std::wstring& root) {
  const std::vector<std::wstring> drives = DriveEntries();
  const auto entry = std::find(drives.begin(), drives.end(), root);
  if (entry == drives.end()) return false;
  HWND combo = control(IDC_DRIVE_COMBO);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(entry - drives.begin()), 0);
  SendMessageW(window_, WM_COMMAND, MAKEWPARAM(IDC_DRIVE_COMBO, CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(combo));
  return true;
}

MessageBoxInfo InstallerProcess::FindMessageBox() const {
  MessageBoxInfo box;
  box.window = FindVisibleWindow(L"#32770", processId_, window_);
  if (box.window) {
    box.caption = Text(box.window);
    box.text = Text(GetDlgItem(box.window, 0xFFFF));  // the message box's text control
  }
  return box;
}

void InstallerProcess::DismissMessageBox(const MessageBoxInfo& box) {
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  WaitUntil([&] { return !IsWindow(box.window); });
}

void InstallerProcess::Close() { PostMessageW(window_, WM_CLOSE, 0, 0); }

bool InstallerProcess::WaitForExit(DWORD timeoutMs, DWORD* exitCode) {
  if (WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  GetExitCodeProcess(process_.get(), exitCode);
  return true;
}
