// What the window thread and the install worker share: two private messages and a few values.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// wParam: percent 0..100. Posted by the package download.
constexpr UINT WM_INSTALL_PROGRESS = WM_APP + 1;
// wParam: 1 success, 0 failure. lParam on failure: a new[]-allocated, NUL-terminated UTF-8
// text that the window owns from the moment it is posted and frees with delete[], or 0 for a
// failure without a text of its own.
constexpr UINT WM_INSTALL_DONE = WM_APP + 2;

// Written on the window thread in WM_CREATE, before any worker exists; read-only afterwards.
extern HWND g_mainWindow;
extern HWND g_driveCombo;
extern HWND g_locationLabel;
extern HWND g_progressBar;
extern std::vector<std::wstring> g_installDrives;

// Written by the worker just before it reports success; read by the window only while the
// button is enabled, so the two never overlap.
extern std::wstring g_installedFolder;

// Held by the worker while the installation folder is between two versions, a fraction of a
// second of renames; the process ends only once it is free.
extern SRWLOCK g_switchLock;
