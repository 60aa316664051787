// Waiting on the install worker: for something another thread or process brings about, without
// leaving the worker's apartment deaf.
#pragma once

#include <windows.h>

#include "common/function_ref.h"

// Waits that long while dispatching the thread's messages. A single-threaded apartment serves
// calls from other threads only while it dispatches: the shell's copy may call back into the
// objects it was given from a thread of its own, and would wait for good on a thread that
// only sleeps.
void PauseDispatching(DWORD milliseconds);
// Waits for the object (a thread, an event) in the same way.
void WaitDispatching(HANDLE object);

enum class Look { kDone, kAdvanced, kStill };

// Looks until it is done, pausing after every other look. Gives up, false, once `attempts`
// pauses in a row were followed by a look that saw nothing advance: a slow change is waited
// for as long as it moves.
bool WaitWhileAdvancing(int attempts, FunctionRef<void()> pause,
                        FunctionRef<Look()> look);
