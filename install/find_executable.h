// Finding the product executable in the extracted tree.
#pragma once

#include <windows.h>

#include <string>

// Full path of the first 霁岚舟.exe in a depth-first walk, or empty. Folders that are
// junctions or symbolic links are not entered.
std::wstring FindProductExecutable(const std::wstring& folder);

// The name compared with 霁岚舟.exe, folding the ASCII letters A to Z only.
bool IsProductExecutableName(const std::wstring& name);
// A listed folder is searched unless it is a reparse point.
bool ShouldEnterFolder(DWORD attributes);
