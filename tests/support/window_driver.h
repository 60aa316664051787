// Starts the real installer and reads and presses its window from outside, as a person would.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/handles.h"
#include "support/wait.h"

// The folder that holds the running test program (and the installer beside it).
std::wstring TestProgramFolder();

// Starts a program with no arguments, in that current folder if one is given; an empty handle
// when it cannot be started.
KernelHandle StartProgram(const std::wstring& path, DWORD* processId = nullptr,
                          const wchar_t* currentFolder = nullptr);

// A visible top-level window of the class; of that process and owner when they are given.
HWND FindVisibleWindow(const wchar_t* className, DWORD processId = 0, HWND owner = nullptr);

struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};

class InstallerProcess {
 public:
  // Starts TovarelinInstaller.exe (or another program) and waits for its main window.
  explicit InstallerProcess(const std::wstring& exePath = L"");
  ~InstallerProcess();  // terminates the process if it is still running
  InstallerProcess(const InstallerProcess&) = delete;
  InstallerProcess& operator=(const InstallerProcess&) = delete;

  HWND window() const { return window_; }
  HWND control(int id) const { return GetDlgItem(window_, id); }
  DWORD processId() const { return processId_; }

  std::wstring Text(HWND control) const;
  bool Enabled(HWND control) const { return IsWindowEnabled(control) != FALSE; }
  std::vector<std::wstring> DriveEntries() const;
  int DriveSelection() const;
  int ProgressPosition() const;
  // True when the position changes by itself within a second (the bar sweeps while the
  // installer waits without a percentage); call it only while no progress can arrive.
  bool ProgressMoves() const;
  COLORREF PixelAt(HWND control, int x, int y) const;  // client coordinates of the control

  void PressButton();
  // Chooses the drive box's entry for the root as the user does (selection, then
  // CBN_SELCHANGE); false when the box does not offer it.
  bool SelectDrive(const std::wstring& root);

  // The message box the installer shows, or a null window when none is up.
  MessageBoxInfo FindMessageBox() const;
  void DismissMessageBox(const MessageBoxInfo& box);

  void Close();                      // WM_CLOSE, as the title bar's close box does
  bool WaitForExit(DWORD timeoutMs, DWORD* exitCode);

 private:
  KernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};
