// Entry names of a zip archive: how they are decoded and which of them are safe to write.
#pragma once

#include <optional>
#include <string>

// UTF-8 when the archive flags the name so, otherwise the OEM code page, as the shell reads it.
std::wstring DecodeEntryName(const std::string& stored, bool utf8);

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
