// Finding the product executable in the extracted tree.
#pragma once

#include <string>

// Full path of the first 霁岚舟.exe in a depth-first walk, or empty.
std::wstring FindProductExecutable(const std::wstring& folder);
