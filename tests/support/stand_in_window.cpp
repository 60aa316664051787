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
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Collect));
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

LRESULT CALLBACK StandInWindow::Collect(HWND window, UINT message, WPARAM wParam,
                                       LPARAM lParam) {
  auto* self = reinterpret_cast<StandInWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (message == WM_INSTALL_PROGRESS) {
    self->progress_.push_back(static_cast<unsigned>(wParam));
    return 0;
  }
  if (message == WM_INSTALL_DONE) {
    self->done_.push_back({wParam, std::unique_ptr<char[]>(reinterpret_cast<char*>(lParam))});
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void StandInWindow::DispatchPosted() const {
  MSG message;
  while (PeekMessageW(&message, window_, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

std::vector<unsigned> StandInWindow::Progress() {
  DispatchPosted();
  return progress_;
}

std::vector<DoneMessage> StandInWindow::TakeDone() {
  DispatchPosted();
  return std::move(done_);
}
