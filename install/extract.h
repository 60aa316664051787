// Unpacking the package through the Windows shell.
#pragma once

#include <windows.h>
#include <shldisp.h>

#include <memory>
#include <string>

#include "common/handles.h"
#include "zip/zip_reader.h"

// The shell's objects of one copy. The copy runs on a thread of its own and may call back
// into them, so they live until its end has been seen.
struct ShellCopy {
  ComPtr<IShellDispatch> shell;
  ComPtr<Folder> destination, package;
  ComPtr<FolderItems> items;
};

struct Extraction {
  enum Outcome {
    kFailed,
    kHandedToShell,        // the shell accepted the copy, which may still be running
    kExtractedAndChecked,  // our reader wrote every entry and checked its size and CRC-32
  } outcome = kFailed;
  std::unique_ptr<ShellCopy> shellCopy;  // with kHandedToShell
};

// Needs a single-threaded COM apartment on the calling thread. Copies every top-level item of
// the package into the existing destination folder, through the shell where it can open the
// package and name its entries rightly, else with our own reader, which tells `written` of
// its progress.
Extraction ExtractZipToFolder(const std::wstring& packagePath,
                              const std::wstring& destinationFolder, const WrittenBytes& written);
