// The drives offered for installation, and the label that shows the folder on the chosen one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Roots "C:\" to "Z:\" present in the mask whose type is fixed or removable, in letter order;
// "C:\" alone when none qualifies.
std::vector<std::wstring> InstallDrivesFromMask(
    DWORD driveMask, const std::function<UINT(const std::wstring&)>& driveType);
std::vector<std::wstring> EnumerateInstallDrives();

void UpdateInstallLocationLabel();
