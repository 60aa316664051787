// Our own zip extraction, standing in for the shell's compressed folders where they are missing:
// stored and deflated entries, Zip64, names in UTF-8 when flagged so, else the OEM code page.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "install/zip_records.h"

// Copies every entry of the archive into the existing destination folder, creating folders
// and replacing files. False for an archive it cannot read or trust. Faults in the records
// (unsafe names, methods, encryption, structure) are found before anything is written; bad
// data shows while it is copied, and then only the files before it remain.
bool ExtractZipArchive(const std::wstring& zipPath, const std::wstring& destinationFolder);

// The records of the archive's central directory, read as ExtractZipArchive reads them;
// nothing when the directory cannot be read.
std::optional<std::vector<ZipEntryRecord>> ReadZipDirectory(const std::wstring& zipPath);
