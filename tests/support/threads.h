// A thread and a lock for the tests, on the Windows API: the libstdc++ of mingw-w64's win32
// thread model has no std::thread or std::mutex.
#pragma once

#include <windows.h>

#include <functional>

#include "common/handles.h"

// Runs the function on a thread of its own; join() and the destructor wait for its end.
class Thread {
 public:
  explicit Thread(std::function<void()> body);
  ~Thread() { join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  void join();

 private:
  static DWORD WINAPI Run(void* body);

  std::function<void()> body_;
  KernelHandle handle_;
};

// A lock for std::lock_guard.
class Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};
