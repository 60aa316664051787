// Plays the person at the installer when no one is at the screen: presses the button, waits
// for the result, takes pictures before, during and after, and tells what was installed.
//
//   drive_demo.exe            (beside TovarelinInstaller.exe; writes build/screenshots/demo-*.png)
//   drive_demo.exe --report   only tells where the desktop shortcut points
#include <windows.h>

#include <string>

#include "app/main_window.h"
#include "common/code_pages.h"
#include "support/desktop.h"
#include "support/screenshot.h"
#include "support/window_driver.h"

namespace {

constexpr auto kRunTimeout = std::chrono::minutes(3);
constexpr int kRunningShotPercent = 40;  // far enough in for the bar to show, short of done

void Say(const std::wstring& line) {
  const std::string bytes = WideToUtf8(line + L"\n");
  DWORD written = 0;
  WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
            &written, nullptr);
}

void Shoot(HWND window, const wchar_t* name) {
  const std::wstring path = ScreenshotFolder() + L"\\" + name;
  Say(SaveWindowPng(window, path) ? L"screenshot: " + path : L"screenshot failed: " + path);
}

// Reads the desktop shortcut back; 0 when it is there.
int ReportShortcut() {
  const ShortcutInfo shortcut = ReadShortcut(DesktopShortcutPath());
  if (!shortcut.loaded) {
    Say(L"no shortcut at " + DesktopShortcutPath());
    return 1;
  }
  Say(L"shortcut target: " + shortcut.target);
  Say(L"shortcut working folder: " + shortcut.workingFolder);
  Say(L"shortcut icon: " + shortcut.iconPath + L"," + std::to_wstring(shortcut.iconIndex));
  return 0;
}

int DriveInstaller() {
  InstallerProcess installer;
  if (!installer.window()) return 1;
  HWND button = installer.control(IDC_START_BUTTON);
  Sleep(500);  // let the first paint land
  Shoot(installer.window(), L"demo-1-ready.png");

  installer.PressButton();
  Say(L"pressed \"" + installer.Text(button) + L"\" for " +
      installer.Text(installer.control(IDC_LOCATION_LABEL)));
  MessageBoxInfo box;
  const auto finished = [&] {
    box = installer.FindMessageBox();
    return box.window != nullptr || installer.Text(button) == L"打开目录";
  };
  WaitUntil([&] { return installer.ProgressPosition() >= kRunningShotPercent || finished(); },
            kRunTimeout);
  Shoot(installer.window(), L"demo-2-running.png");

  const bool ended = WaitUntil(finished, kRunTimeout);
  Sleep(300);
  Shoot(installer.window(), L"demo-3-installed.png");
  const bool installed = ended && !box.window;
  if (installed)
    Say(L"installed: the button reads \"" + installer.Text(button) + L"\", progress " +
        std::to_wstring(installer.ProgressPosition()) + L"%");
  else
    Say(ended ? L"installation failed: " + box.text : L"installation did not finish in time");
  installer.Close();  // with a message box up, closing the owner ends both
  DWORD exitCode = 1;
  installer.WaitForExit(10000, &exitCode);
  if (!installed) return 1;
  return ReportShortcut();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc > 1 && std::wstring(argv[1]) == L"--report") return ReportShortcut();
  return DriveInstaller();
}
