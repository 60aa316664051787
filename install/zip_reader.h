// Our own zip extraction, standing in for the shell's compressed folders where they are missing:
// stored and deflated entries, Zip64, names decoded by DecodeEntryName. And the list of what an
// archive holds, from the same reading of its central directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "install/zip_records.h"

struct PackageEntry {
  // Below the destination, one for each safe spelling a shell may give the name.
  std::vector<std::wstring> paths;
  bool isFolder = false;
  uint64_t size = 0;
  uint32_t crc = 0;
};

// Every entry of the archive's central directory, in its order; nothing when the directory
// cannot be read or an entry has no safe spelling (SafeEntryPath).
std::optional<std::vector<PackageEntry>> ListZipEntries(const std::wstring& zipPath);

// Copies every entry of the archive into the existing destination folder, creating folders
// and replacing files. False for an archive it cannot read or trust. Faults in the records
// (unsafe names, methods, encryption, structure) are found before anything is written; bad
// data shows while it is copied, and then only the files before it remain.
bool ExtractZipArchive(const std::wstring& zipPath, const std::wstring& destinationFolder);

// The records of the archive's central directory, read as ExtractZipArchive reads them;
// nothing when the directory cannot be read.
std::optional<std::vector<ZipEntryRecord>> ReadZipDirectory(const std::wstring& zipPath);
