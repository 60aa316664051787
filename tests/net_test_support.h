// Helpers shared by the remote services tests.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/shared_state.h"
#include "support/http_server.h"

// The text of the error the call throws, or "(returned)".
inline std::string FailureOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::runtime_error& e) {
    return e.what();
  }
  return "(returned)";
}

// A handler that gives every request the same answer.
inline HttpHandler Answer(HttpResponse response) {
  return [response](const HttpRequest&) { return response; };
}

// Stands in for the main window: a message-only window on the test thread that collects the
// WM_INSTALL_PROGRESS values the transfer posts while it runs on that same thread.
class ProgressRecorder {
 public:
  ProgressRecorder()
      : window_(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                nullptr, nullptr)),
        previous_(g_mainWindow) {
    g_mainWindow = window_;
  }
  ~ProgressRecorder() {
    g_mainWindow = previous_;
    DestroyWindow(window_);
  }
  ProgressRecorder(const ProgressRecorder&) = delete;
  ProgressRecorder& operator=(const ProgressRecorder&) = delete;

  // Any non-null handle switches progress reporting on.
  HWND progressBar() const { return window_; }

  // The percentages posted so far, in order.
  std::vector<unsigned> Values() {
    MSG message;
    while (PeekMessageW(&message, window_, WM_INSTALL_PROGRESS, WM_INSTALL_PROGRESS, PM_REMOVE))
      values_.push_back(static_cast<unsigned>(message.wParam));
    return values_;
  }

 private:
  HWND window_;
  HWND previous_;
  std::vector<unsigned> values_;
};
