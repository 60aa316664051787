#include "install/package_tree.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "common/handles.h"
#include "common/open_file.h"
#include "common/wait.h"
#include "install/find_executable.h"

namespace {

constexpr DWORD kBufferSize = 1 << 20;

// Entries by index, with their spellings of the right size as bits.
using UnreadFiles = std::vector<std::pair<size_t, unsigned>>;

bool HasCrc(const std::wstring& path, const PackageEntry& entry, char* buffer) {
  // Shared every way, so that a copy still writing the file is not disturbed.
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  uLong crc = crc32_z(0, nullptr, 0);
  uint64_t total = 0;
  for (DWORD read = 0; ReadFile(file.get(), buffer, kBufferSize, &read, nullptr) && read > 0;
       total += read)
    crc = crc32_z(crc, reinterpret_cast<const Bytef*>(buffer), read);
  return total == entry.size && crc == entry.crc;
}

// Opening a file costs more than reading it, and most of that cost is waiting on the system,
// so two readers take the files in turn; the first mismatch stops both.
struct ContentReaders {
  const std::wstring& folder;
  const std::vector<PackageEntry>& entries;
  const UnreadFiles& unread;
  std::vector<char>& matched;
  char* helperBuffer;
  std::atomic<size_t> next{0};
  std::atomic<bool> incomplete{false};

  void Read(char* buffer) {
    for (size_t k; !incomplete && (k = next++) < unread.size();) {
      const auto& [i, candidates] = unread[k];
      for (size_t s = 0; s < entries[i].paths.size(); ++s)
        if ((candidates >> s & 1) && !matched[i] &&
            HasCrc(folder + L"\\" + entries[i].paths[s], entries[i], buffer))
          matched[i] = true;
      if (!matched[i]) incomplete = true;
    }
  }

  static DWORD WINAPI ReadInHelper(void* self) {
    auto* readers = static_cast<ContentReaders*>(self);
    readers->Read(readers->helperBuffer);
    return 0;
  }
};

}  // namespace

std::vector<std::wstring> ProductExecutablePaths(const std::vector<PackageEntry>& entries,
                                                 const std::wstring& folder) {
  std::vector<std::wstring> paths;
  for (const PackageEntry& entry : entries) {
    if (entry.isFolder) continue;
    for (const std::wstring& relative : entry.paths)
      if (IsProductExecutablePath(relative))
        paths.push_back(folder + L"\\" + relative);
  }
  return paths;
}

PackageTreeCheck::PackageTreeCheck(const std::wstring& folder, std::vector<PackageEntry> entries)
    : folder_(folder), entries_(std::move(entries)), matched_(entries_.size(), false) {}

uint64_t PackageTreeCheck::TotalBytes() const {
  uint64_t total = 0;
  for (const PackageEntry& entry : entries_)
    if (!entry.isFolder) total += entry.size;
  return total;
}

bool PackageTreeCheck::Complete() {
  progress_ = {};
  std::vector<ListedItem> tree = ListFolderTree(folder_);
  SortByName(tree);
  UnreadFiles unread;
  bool allSized = true;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const PackageEntry& entry = entries_[i];
    if (matched_[i]) {
      progress_.bytes += entry.size;
      progress_.entries += entry.isFolder ? 1 : 2;
      continue;
    }
    const Look look = LookAt(entry, tree);
    progress_.bytes += look.bytes;
    if (!look.candidates) {
      allSized = false;
      continue;
    }
    ++progress_.entries;
    if (entry.isFolder)
      matched_[i] = true;
    else
      unread.emplace_back(i, look.candidates);
  }
  if (!allSized) return false;
  if (unread.empty()) return true;
  if (!buffers_) buffers_.reset(new char[2 * kBufferSize]);
  ContentReaders readers{folder_, entries_, unread, matched_, buffers_.get() + kBufferSize};
  // Without a second thread, one reader does it all.
  KernelHandle helper(unread.size() > 1 ? CreateThread(nullptr, 0, ContentReaders::ReadInHelper,
                                                       &readers, 0, nullptr)
                                        : nullptr);
  readers.Read(buffers_.get());
  if (helper) WaitDispatching(helper.get());
  for (const auto& file : unread) progress_.entries += matched_[file.first] ? 1 : 0;
  return !readers.incomplete;
}

PackageTreeCheck::Look PackageTreeCheck::LookAt(const PackageEntry& entry,
                                                const std::vector<ListedItem>& tree) {
  Look look;
  for (size_t s = 0; s < entry.paths.size(); ++s) {
    const ListedItem* found = FindByName(tree, entry.paths[s]);
    if (!found || found->isFolder() != entry.isFolder) continue;
    const uint64_t size = entry.isFolder ? 0 : found->size;
    look.bytes = std::max(look.bytes, std::min(size, entry.size));
    if (size == entry.size) look.candidates |= 1u << s;
  }
  return look;
}
