// Where the product goes: the drive chosen in the drive box and the folder derived from it.
#pragma once

#include <string>
#include <vector>

// Drive root + "Tovarelin", with exactly one backslash between.
std::wstring InstallFolderForDrive(const std::wstring& driveRoot);

// The entry at a drive-box selection index, or "C:\" for CB_ERR or an index past the list.
std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives);
// The drive box's current choice; the worker asks it once at the start of a run.
std::wstring SelectedDriveRoot();
