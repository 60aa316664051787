#include "bench/message_counter.h"

#include <windows.h>

#include <exception>
#include <stdexcept>

#include "app/shared_state.h"
#include "common/handles.h"

namespace {
constexpr wchar_t kCounterClass[] = L"TovarelinBenchProgress";

struct WindowTraits {
  using Handle = HWND;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { DestroyWindow(h); }
};
using Window = UniqueHandle<WindowTraits>;

struct Job {
  const std::function<void()>* work;
  std::exception_ptr failure;
};

LRESULT CALLBACK CounterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INSTALL_PROGRESS) return DefWindowProcW(window, message, wParam, lParam);
  auto* tally = reinterpret_cast<ProgressTally*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const auto percent = static_cast<unsigned>(wParam);
  if (tally->messages > 0 && percent < tally->lastPercent) tally->wentBackwards = true;
  tally->messages++;
  tally->lastPercent = percent;
  return 0;
}

DWORD WINAPI RunJob(void* parameter) {
  auto* job = static_cast<Job*>(parameter);
  try {
    (*job->work)();
  } catch (...) {
    job->failure = std::current_exception();
  }
  return 0;
}

void DeliverQueuedMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}
}  // namespace

ProgressTally RunWithProgressWindow(const std::function<void()>& work) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = CounterProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kCounterClass;
  RegisterClassW(&windowClass);  // fails harmlessly when already registered
  Window window(CreateWindowExW(0, kCounterClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                windowClass.hInstance, nullptr));
  if (!window) throw std::runtime_error("cannot create the message window");

  ProgressTally tally;
  SetWindowLongPtrW(window.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&tally));
  g_mainWindow = window.get();
  Job job{&work, nullptr};
  KernelHandle thread(CreateThread(nullptr, 0, RunJob, &job, 0, nullptr));
  if (!thread) throw std::runtime_error("cannot start the worker thread");
  HANDLE waitFor = thread.get();
  while (MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT) != WAIT_OBJECT_0) {
    DeliverQueuedMessages();
  }
  DeliverQueuedMessages();  // what the work posted just before it ended
  g_mainWindow = nullptr;
  if (job.failure) std::rethrow_exception(job.failure);
  return tally;
}
