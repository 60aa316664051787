// Entry names of a zip archive: how they are decoded and which of them are safe to write.
// Plain C++, free of <windows.h>: the code-page reading they call is declared apart.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/windows_version.h"
#include "zip/zip_records.h"

// Whether the bytes are well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF) and hold at least one byte that is not ASCII. Text in a Chinese code page
// almost never is.
bool IsNonAsciiUtf8(const std::string& bytes);

// The name our own reader gives an entry: UTF-8 when the archive flags it so or when the
// unflagged bytes are IsNonAsciiUtf8 (Info-ZIP on Linux stores such names), else the OEM
// code page.
std::wstring DecodeEntryName(const std::string& stored, bool flaggedUtf8);

// Every name a shell may give the entry, DecodeEntryName's first. A flagged name has its UTF-8
// spelling only; an unflagged one is read in the OEM code page, and also as UTF-8 when it is
// IsNonAsciiUtf8 and reads differently: which of the two a given shell picks is not known.
std::vector<std::wstring> EntryNameSpellings(const std::string& stored, bool flaggedUtf8);

// Whether the zip folder of that Windows would name an entry of the archive wrongly. Before
// Windows 8 it reads every name in the OEM code page, also one marked UTF-8 (flag bit 11), so
// a marked name that is not plain ASCII comes out garbled; unmarked names it reads as every
// version does.
bool ZipFolderMisnames(const std::vector<ZipEntryRecord>& entries, WindowsVersion version);

struct EntryPath {
  std::wstring relative;  // below the destination, components joined by single backslashes
  bool isFolder = false;
};

// The place of a decoded name below the destination folder, or nothing when the name could
// land elsewhere or be altered by the file system: absolute or drive-qualified names, any
// colon, empty, "." or ".." components (or any that ends in a dot or a space), characters that
// file names cannot hold, and device names such as CON or LPT1. Both '/' and '\' separate.
std::optional<EntryPath> SafeEntryPath(const std::wstring& name);

// Whether every folder the entry needs, and the entry itself, stays within the classic
// path length limits once joined to a destination of that length.
bool FitsPathLimits(size_t destinationLength, const EntryPath& path);
