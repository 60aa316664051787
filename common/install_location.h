// Where the product goes: the drive chosen in the drive box and the folder derived from it.
#pragma once

#include <string>

// Where the product goes when no other drive can be offered or chosen.
constexpr wchar_t kDefaultDriveRoot[] = L"C:\\";

// Drive root + "Tovarelin", with exactly one backslash between.
std::wstring InstallFolderForDrive(const std::wstring& driveRoot);

// The drive box's current choice; the worker asks it once at the start of a run.
std::wstring SelectedDriveRoot();
