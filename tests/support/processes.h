// Starting programs for the tests, which end each of them by its handle.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

// Starts a program with no arguments, in that current folder when one is given; an empty handle
// when it cannot be started.
KernelHandle StartProgram(const std::wstring& path, DWORD* processId = nullptr,
                          const std::wstring& currentFolder = L"");
