// One installation run, from the settings to the shortcut, on a thread of its own.
#pragma once

#include <windows.h>

// Thread procedure started by the window's button; posts exactly one WM_INSTALL_DONE.
DWORD WINAPI InstallWorker(LPVOID);
