// Our own zip extraction, standing in for the shell's compressed folders where they are missing:
// stored and deflated entries, Zip64, names decoded by DecodeEntryName. And the list of what an
// archive holds, from the same reading of its central directory.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "zip/zip_records.h"

struct PackageEntry {
  // Below the destination, one for each safe spelling a shell may give the name.
  std::vector<std::wstring> paths;
  bool isFolder = false;
  uint64_t size = 0;
  uint32_t crc = 0;
};

// Every entry of the archive's central directory, in its order, for a destination folder of
// that length; nothing when the directory cannot be read or neither way of extracting could
// finish it: an entry that is encrypted or compressed by another method, that has no safe
// spelling (SafeEntryPath) or a spelling beyond the path limits, or two entries that Windows
// takes for one name.
std::optional<std::vector<PackageEntry>> ListZipEntries(const std::wstring& zipPath,
                                                        size_t destinationLength);

// Told of each piece of file data as it is written, by its size.
using WrittenBytes = std::function<void(uint64_t bytes)>;

// Copies every entry of the archive into the existing destination folder, creating folders
// and replacing files. False for an archive it cannot read or trust. Faults in the records
// (unsafe names, methods, encryption, structure) are found before anything is written; bad
// data shows while it is copied, and then only the files before it remain. `written` hears of
// the file data as it goes to disk.
bool ExtractZipArchive(const std::wstring& zipPath, const std::wstring& destinationFolder,
                       const WrittenBytes& written = {});

// The records of the archive's central directory, read as ExtractZipArchive reads them;
// nothing when the directory cannot be read.
std::optional<std::vector<ZipEntryRecord>> ReadZipDirectory(const std::wstring& zipPath);
