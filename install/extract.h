// Unpacking the package through the Windows shell.
#pragma once

#include <string>

// Needs a single-threaded COM apartment on the calling thread. True when the copy of every
// top-level item into the existing destination folder was accepted.
bool ExtractZipToFolder(const std::wstring& packagePath, const std::wstring& destinationFolder);
