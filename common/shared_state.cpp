#include "common/shared_state.h"

HWND g_mainWindow = nullptr;
HWND g_driveCombo = nullptr;
HWND g_locationLabel = nullptr;
HWND g_progressBar = nullptr;
std::vector<std::wstring> g_installDrives;
std::wstring g_installedFolder;
SRWLOCK g_switchLock = SRWLOCK_INIT;
