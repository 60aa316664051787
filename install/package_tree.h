// Whether the installation folder holds the whole tree of the package, as its central
// directory lists it: the test of a finished extraction, whoever did it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "install/zip_reader.h"

// Full paths, below the folder, of every file entry named 霁岚舟.exe under any of its spellings.
std::vector<std::wstring> ProductExecutablePaths(const std::vector<PackageEntry>& entries,
                                                 const std::wstring& folder);

// Compares the tree with the entries each time it is asked. Sizes come first, contents only
// once every size fits, and a file that matched once is not read again.
class PackageTreeCheck {
 public:
  PackageTreeCheck(std::wstring folder, std::vector<PackageEntry> entries);

  // True when every folder entry exists as a folder, and every file entry as a file of its
  // size whose bytes have its CRC-32, each under one of its spellings.
  bool Complete();

 private:
  // The entry's spellings that exist with the right kind and size.
  std::vector<std::wstring> Candidates(const PackageEntry& entry) const;

  std::wstring folder_;
  std::vector<PackageEntry> entries_;
  std::vector<char> matched_;  // not vector<bool>: two readers set its elements at once
  std::unique_ptr<char[]> buffers_;  // one per reader
};
