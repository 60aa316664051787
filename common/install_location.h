// Where the product goes (the drive chosen in the drive box and the folder derived from it) and
// what its executable is called.
#pragma once

#include <string>

// Where the product goes when no other drive can be offered or chosen.
constexpr wchar_t kDefaultDriveRoot[] = L"C:\\";

// Drive root + "Tovarelin", with exactly one backslash between.
std::wstring InstallFolderForDrive(const std::wstring& driveRoot);

// The drive box's current choice; the worker asks it once at the start of a run.
std::wstring SelectedDriveRoot();

// The name compared with 霁岚舟.exe, folding the ASCII letters A to Z only.
bool IsProductExecutableName(const std::wstring& name);
// Whether the last component of a path is that name.
bool IsProductExecutablePath(const std::wstring& path);
