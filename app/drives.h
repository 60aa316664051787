// The drives offered for installation and the folder derived from the chosen one.
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

// Drive root + "Tovarelin", with exactly one backslash between.
std::wstring InstallFolderForDrive(const std::wstring& driveRoot);

// The entry at a drive-box selection index, or "C:\" for CB_ERR or an index past the list.
std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives);
std::wstring SelectedDriveRoot();

void UpdateInstallLocationLabel();
