#include "common/wait.h"

namespace {

void DispatchPosted() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

}  // namespace

void PauseDispatching(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    DispatchPosted();
  }
}

void WaitDispatching(HANDLE object) {
  while (MsgWaitForMultipleObjectsEx(1, &object, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) ==
         WAIT_OBJECT_0 + 1)
    DispatchPosted();
}

bool WaitWhileAdvancing(int attempts, FunctionRef<void()> pause,
                        FunctionRef<Look()> look) {
  for (int still = 0;; ++still) {
    const Look seen = look();
    if (seen == Look::kDone) return true;
    if (seen == Look::kAdvanced) still = 0;
    if (still == attempts) return false;
    pause();
  }
}
