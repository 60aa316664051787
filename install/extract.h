// Unpacking the package through the Windows shell.
#pragma once

#include <string>

enum class Extraction {
  kFailed,
  kHandedToShell,        // the shell accepted the copy, which may still be running
  kExtractedAndChecked,  // our reader wrote every entry and checked its size and CRC-32
};

// Needs a single-threaded COM apartment on the calling thread. Copies every top-level item of
// the package into the existing destination folder, through the shell where it can open the
// package, else with our own reader.
Extraction ExtractZipToFolder(const std::wstring& packagePath,
                              const std::wstring& destinationFolder);
