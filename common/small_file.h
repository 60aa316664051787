// Small files of our own beside the installation, read whole and written through to the disk.
#pragma once

#include <windows.h>

#include <string>

// The file's bytes; empty when it cannot be read.
std::string ReadSmallFile(const std::wstring& path);
// Writes the file whole, with those attributes, and flushes it; false when it could not.
bool WriteSmallFileThrough(const std::wstring& path, const std::string& bytes, DWORD attributes);
