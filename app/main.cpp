// Entry point: registers the window class, creates the window and runs the message loop.
#include <windows.h>

#include "app/dll_search.h"
#include "app/main_window.h"
#include "app/window_style.h"
#include "common/handles.h"
#include "common/shared_state.h"

namespace {
constexpr DWORD kMainWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;  // fixed size
constexpr WORD kIconResourceId = 1;
constexpr wchar_t kRunningMutex[] = L"Local\\TovarelinNativeInstaller";  // this session only

// Brings the installer that is already open to the front, with its message box if one is up.
// A window not made yet needs nothing: it comes up in front by itself.
void ShowRunningInstaller() {
  HWND window = FindWindowW(kMainWindowClass, nullptr);
  if (!window) return;
  if (IsIconic(window)) ShowWindowAsync(window, SW_RESTORE);  // no wait on a busy window
  SetForegroundWindow(GetLastActivePopup(window));
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // One installer at a time: two would download into the same folders. The handle stays open
  // until the process ends.
  const KernelHandle running(CreateMutexW(nullptr, FALSE, kRunningMutex));
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    ShowRunningInstaller();
    return 0;
  }

  // The installer usually runs from a download folder, where anyone may have left a DLL. The
  // DLLs that are not Known DLLs are delay-loaded (see cmake/delay_load.cmake), so none is
  // loaded before this.
  KeepDllSearchInSystem32();

  // The class keeps it for as long as the process runs.
  const Brush background(CreateSolidBrush(kWindowBackground));
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = MainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResourceId));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = background.get();
  windowClass.lpszClassName = kMainWindowClass;
  RegisterClassW(&windowClass);

  HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, kMainWindowStyle,
                                CW_USEDEFAULT, CW_USEDEFAULT, kMainWindowWidth,
                                kMainWindowHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, showCommand);
  UpdateWindow(window);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // The worker may still be running. ExitProcess ends it before anything is torn down, where
  // returning would run the static destructors of the state it still reads and writes; but
  // not in the middle of a switch, which would leave the folder for the next run to mend.
  AcquireSRWLockExclusive(&g_switchLock);
  ExitProcess(static_cast<UINT>(message.wParam));
}
