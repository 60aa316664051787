#include "support/threads.h"

#include <stdexcept>
#include <utility>

Thread::Thread(std::function<void()> body)
    : body_(std::move(body)), handle_(CreateThread(nullptr, 0, Run, &body_, 0, nullptr)) {
  if (!handle_) throw std::runtime_error("CreateThread failed");
}

void Thread::join() {
  if (handle_) WaitForSingleObject(handle_.get(), INFINITE);
  handle_.reset();
}

DWORD WINAPI Thread::Run(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return 0;
}
