// The folder rule of the executable search, which its tests reach directly.
#pragma once

#include <windows.h>

// A listed folder is searched unless it is a reparse point.
bool ShouldEnterFolder(DWORD attributes);
