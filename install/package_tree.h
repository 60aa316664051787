// Whether a folder holds the whole tree of the package, as its central directory lists it: the
// test of a finished extraction, whoever did it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/folder_listing.h"
#include "zip/zip_reader.h"

// Full paths, below the folder, of every file entry named 霁岚舟.exe under any of its spellings.
std::vector<std::wstring> ProductExecutablePaths(const std::vector<PackageEntry>& entries,
                                                 const std::wstring& folder);

// How much of the package one look found in place.
struct TreeProgress {
  uint64_t bytes = 0;   // of the files, each counted up to its size in the package
  size_t entries = 0;   // one for each folder made, file of its size and file that matched
  bool AdvancedFrom(const TreeProgress& before) const {
    return bytes > before.bytes || entries > before.entries;
  }
};

// Compares the tree with the entries each time it is asked. Sizes come first, read from one
// listing of each folder that holds an entry not yet of its size; contents only once every
// size fits. An entry found of its size is not looked for again (a copy writes each file
// once: the CRC-32 read stays the proof), and a file that matched is not read again.
class PackageTreeCheck {
 public:
  PackageTreeCheck(const std::wstring& folder, std::vector<PackageEntry> entries);

  // The bytes of all the package's files.
  uint64_t TotalBytes() const;

  // True when every folder entry exists as a folder, and every file entry as a file of its
  // size whose bytes have its CRC-32, each under one of its spellings. Also measures
  // progress().
  bool Complete();
  const TreeProgress& progress() const { return progress_; }

 private:
  struct Look {
    uint64_t bytes = 0;                   // the most of the entry found under one spelling
    unsigned candidates = 0;              // spellings of the right kind and size, as bits
  };
  // The items of the folders that hold an entry not yet of its size, sorted by name.
  std::vector<ListedItem> ListUnsizedFolders() const;
  static Look LookAt(const PackageEntry& entry, const std::vector<ListedItem>& listed);

  std::wstring folder_;
  std::vector<PackageEntry> entries_;
  std::vector<unsigned> sized_;  // the spellings of the right kind and size; 0 until found

  std::vector<char> matched_;  // not vector<bool>: two readers set its elements at once
  std::unique_ptr<char[]> buffers_;  // one per reader
  TreeProgress progress_;
};
