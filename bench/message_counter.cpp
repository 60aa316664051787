#include "bench/message_counter.h"

#include <windows.h>

#include <exception>
#include <stdexcept>

#include "common/shared_state.h"
#include "bench/stopwatch.h"
#include "common/handles.h"

namespace {
constexpr wchar_t kCounterClass[] = L"TovarelinBenchProgress";
// Posted by the worker after the work, as the installer's worker posts WM_INSTALL_DONE.
constexpr UINT kWorkFinished = WM_APP + 100;

using Window = UniqueHandle<NullHandleTraits<HWND, DestroyWindow>>;

struct Job {
  const std::function<void()>* work;
  HWND window;
  double seconds;
  std::exception_ptr failure;
};

LRESULT CALLBACK CounterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_INSTALL_PROGRESS) return DefWindowProcW(window, message, wParam, lParam);
  auto* tally = reinterpret_cast<ProgressTally*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  const auto percent = static_cast<unsigned>(wParam);
  if (tally->messages > 0 && percent < tally->lastPercent) tally->wentBackwards = true;
  if (tally->messages == 0) tally->firstPercent = percent;
  tally->messages++;
  tally->lastPercent = percent;
  return 0;
}

DWORD WINAPI RunJob(void* parameter) {
  auto* job = static_cast<Job*>(parameter);
  Stopwatch watch;
  try {
    (*job->work)();
    job->seconds = watch.Seconds();
  } catch (...) {
    job->failure = std::current_exception();
  }
  PostMessageW(job->window, kWorkFinished, 0, 0);
  return 0;
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
  Job job{&work, window.get(), 0, nullptr};
  KernelHandle thread(CreateThread(nullptr, 0, RunJob, &job, 0, nullptr));
  if (!thread) throw std::runtime_error("cannot start the worker thread");
  // A plain message loop, as on the installer's window thread.
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0 && message.message != kWorkFinished) {
    DispatchMessageW(&message);
  }
  WaitForSingleObject(thread.get(), INFINITE);
  g_mainWindow = nullptr;
  if (job.failure) std::rethrow_exception(job.failure);
  tally.workSeconds = job.seconds;
  return tally;
}
