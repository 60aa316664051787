// Our own zip extraction, standing in for the shell's compressed folders where they are missing.
#pragma once

#include <string>

// Copies every entry of the archive into the existing destination folder. False, with
// nothing written outside the destination, for an archive it cannot trust or read.
bool ExtractZipArchive(const std::wstring& zipPath, const std::wstring& destinationFolder);
