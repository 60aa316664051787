// GoogleTest's main with a watchdog: a test that has not ended in time, or that crashes, ends
// the program with a failure at once, rather than hang until CTest's time-out (a pause that
// does not pump, a thread that is never joined, Wine's debugger waiting on a crash).
// --watchdog_seconds=N sets the time; the default suits the window scenarios.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::atomic<ULONGLONG> g_deadline{0};  // 0 while no test runs
std::string g_running;

class Watchdog : public testing::EmptyTestEventListener {
 public:
  explicit Watchdog(ULONGLONG limitMs) : limitMs_(limitMs) {}
  void OnTestStart(const testing::TestInfo& test) override {
    g_running = std::string(test.test_suite_name()) + "." + test.name();
    g_deadline = GetTickCount64() + limitMs_;
  }
  void OnTestEnd(const testing::TestInfo&) override { g_deadline = 0; }

 private:
  ULONGLONG limitMs_;
};

[[noreturn]] void Stop(const char* why) {
  std::fprintf(stderr, "\n%s %s: stopped by the watchdog\n", g_running.c_str(), why);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  for (;;) Sleep(INFINITE);
}

DWORD WINAPI Watch(void*) {
  for (;; Sleep(500)) {
    const ULONGLONG deadline = g_deadline;
    if (deadline != 0 && GetTickCount64() > deadline) Stop("did not end in time");
  }
}

LONG WINAPI Crashed(EXCEPTION_POINTERS* exception) {
  char why[64];
  std::snprintf(why, sizeof why, "crashed with exception %08lx",
                exception->ExceptionRecord->ExceptionCode);
  Stop(why);
}

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  unsigned long seconds = 240;
  for (int i = 1; i < argc; ++i)
    if (std::strncmp(argv[i], "--watchdog_seconds=", 19) == 0)
      seconds = std::strtoul(argv[i] + 19, nullptr, 10);
  testing::UnitTest::GetInstance()->listeners().Append(new Watchdog(seconds * 1000));
  CloseHandle(CreateThread(nullptr, 0, Watch, nullptr, 0, nullptr));
  SetUnhandledExceptionFilter(Crashed);
  return RUN_ALL_TESTS();
}
