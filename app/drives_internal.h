// The drive rule, which its tests reach directly with drives of their own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Roots "C:\" to "Z:\" present in the mask whose type is fixed or removable, in letter order;
// kDefaultDriveRoot alone when none qualifies.
std::vector<std::wstring> InstallDrivesFromMask(
    DWORD driveMask, const std::function<UINT(const std::wstring&)>& driveType);
