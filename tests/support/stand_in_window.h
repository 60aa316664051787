// Stands in for the installer's window while the install worker or the transfer runs on the
// test thread: a message-only window that collects what they post to it, also when the
// worker's pauses dispatch the thread's messages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

struct DoneMessage {
  WPARAM wParam;                // 1 success, 0 failure
  std::unique_ptr<char[]> text;  // the failure's text, owned as the window would own it
};

// Points the shared globals at the stand-in: no drive box (its selection reads as 0), the
// one drive given, no progress bar, nothing installed. Puts back what they held when it goes.
class StandInWindow {
 public:
  explicit StandInWindow(const std::wstring& installDrive = L"C:\\");
  ~StandInWindow();
  StandInWindow(const StandInWindow&) = delete;
  StandInWindow& operator=(const StandInWindow&) = delete;

  HWND window() const { return window_; }
  // The WM_INSTALL_PROGRESS percentages posted so far, in order.
  std::vector<unsigned> Progress();
  // The WM_INSTALL_DONE messages posted since the last call.
  std::vector<DoneMessage> TakeDone();

 private:
  static LRESULT CALLBACK Collect(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void DispatchPosted() const;

  HWND window_;
  std::vector<unsigned> progress_;
  std::vector<DoneMessage> done_;
  HWND savedMain_, savedCombo_, savedLabel_, savedBar_;
  std::vector<std::wstring> savedDrives_;
  std::wstring savedInstalled_;
};
