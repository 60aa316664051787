#include "support/stand_in_window.h"

#include "common/shared_state.h"

StandInWindow::StandInWindow(const std::wstring& installDrive)
    : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr,
                              nullptr)),
      savedMain_(g_mainWindow),
      savedCombo_(g_driveCombo),
      savedLabel_(g_locationLabel),
      savedBar_(g_progressBar),
      savedDrives_(g_installDrives),
      savedInstalled_(g_installedFolder) {
  g_mainWindow = window_;
  g_driveCombo = nullptr;
  g_locationLabel = nullptr;
  g_progressBar = nullptr;
  g_installDrives = {installDrive};
  g_installedFolder.clear();
}

StandInWindow::~StandInWindow() {
  TakeDone();  // frees the texts nobody read
  DestroyWindow(window_);
  g_mainWindow = savedMain_;
  g_driveCombo = savedCombo_;
  g_locationLabel = savedLabel_;
  g_progressBar = savedBar_;
  g_installDrives = savedDrives_;
  g_installedFolder = savedInstalled_;
}

std::vector<unsigned> StandInWindow::Progress() {
  MSG message;
  while (PeekMessageW(&message, window_, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE))
    progress_.push_back(static_cast<unsigned>(message.wParam));
  return progress_;
}

std::vector<DoneMessage> StandInWindow::TakeDone() {
  std::vector<DoneMessage> done;
  MSG message;
  while (PeekMessageW(&message, window_, WM_INSTALL_DONE, WM_INSTALL_DONE, PM_REMOVE))
    done.push_back({message.wParam,
                    std::unique_ptr<char[]>(reinterpret_cast<char*>(message.lParam))});
  return done;
}
