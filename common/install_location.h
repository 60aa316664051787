// Where the product goes: the drive chosen in the drive box and the folder derived from it.
#pragma once

#include <string>
#include <vector>

// Where the product goes when no other drive can be offered or chosen.
constexpr wchar_t kDefaultDriveRoot[] = L"C:\\";

// Drive root + "Tovarelin", with exactly one backslash between.
std::wstring InstallFolderForDrive(const std::wstring& driveRoot);

// The entry at a drive-box selection index, or kDefaultDriveRoot for CB_ERR or an index past
// the list.
std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives);
// The drive box's current choice; the worker asks it once at the start of a run.
std::wstring SelectedDriveRoot();
