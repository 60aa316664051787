// GoogleTest's hook for a platform's own pieces, found before GoogleTest's empty one. Under
// mingw-w64's win32 thread model there is no std::mutex or std::condition_variable, on which
// GoogleTest builds its Notification; this one waits on an event. GoogleTest's locks and
// thread-local storage on Windows use the Windows API already.
#pragma once

#include <windows.h>

#include "common/handles.h"

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

class Notification {
 public:
  Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  Notification(const Notification&) = delete;
  Notification& operator=(const Notification&) = delete;

  void Notify() { SetEvent(event_.get()); }
  void WaitForNotification() { WaitForSingleObject(event_.get(), INFINITE); }

 private:
  KernelHandle event_;
};

}  // namespace testing::internal
