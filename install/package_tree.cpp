#include "install/package_tree.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <utility>

#include "common/handles.h"
#include "common/install_location.h"
#include "common/open_file.h"
#include "common/wait.h"

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
    : folder_(folder),
      entries_(std::move(entries)),
      sized_(entries_.size(), 0),
      matched_(entries_.size(), false) {}

uint64_t PackageTreeCheck::TotalBytes() const {
  uint64_t total = 0;
  for (const PackageEntry& entry : entries_)
    if (!entry.isFolder) total += entry.size;
  return total;
}

bool PackageTreeCheck::Complete() {
  progress_ = {};
  const std::vector<ListedItem> listed = ListUnsizedFolders();
  UnreadFiles unread;
  bool allSized = true;
  for (size_t i = 0; i < entries_.size(); ++i) {
    const PackageEntry& entry = entries_[i];
    if (matched_[i]) {
      progress_.bytes += entry.size;
      progress_.entries += entry.isFolder ? 1 : 2;
      continue;
    }
    if (!sized_[i]) {
      const Look look = LookAt(entry, listed);
      progress_.bytes += look.bytes;
      sized_[i] = look.candidates;
      if (!look.candidates) {
        allSized = false;
        continue;
      }
    } else {
      progress_.bytes += entry.size;
    }
    ++progress_.entries;
    if (entry.isFolder)
      matched_[i] = true;
    else
      unread.emplace_back(i, sized_[i]);
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

std::vector<ListedItem> PackageTreeCheck::ListUnsizedFolders() const {
  std::vector<ListedItem> folders, listed;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (!sized_[i])
      for (const std::wstring& path : entries_[i].paths) {
        const size_t slash = path.rfind(L'\\');
        folders.push_back({slash == std::wstring::npos ? L"" : path.substr(0, slash)});
      }
  // Sorted, a folder comes before those below it: one found missing spares them the asking.
  SortByName(folders);
  std::vector<ListedItem> missing;
  for (size_t k = 0; k < folders.size(); ++k) {
    const std::wstring& relative = folders[k].name;
    if (k > 0 && SameFileName(relative, folders[k - 1].name)) continue;
    const size_t slash = relative.rfind(L'\\');
    const std::wstring path = relative.empty() ? folder_ : folder_ + L"\\" + relative;
    std::vector<ListedItem> items;
    if ((slash != std::wstring::npos && FindByName(missing, relative.substr(0, slash))) ||
        ((items = ListFolder(path)).empty() && !IsFolder(path))) {
      missing.push_back(folders[k]);
      continue;
    }
    const std::wstring prefix = relative.empty() ? relative : relative + L"\\";
    for (ListedItem& item : items) {
      item.name = prefix + item.name;
      listed.push_back(std::move(item));
    }
  }
  SortByName(listed);
  return listed;
}

PackageTreeCheck::Look PackageTreeCheck::LookAt(const PackageEntry& entry,
                                                const std::vector<ListedItem>& listed) {
  Look look;
  for (size_t s = 0; s < entry.paths.size(); ++s) {
    const ListedItem* found = FindByName(listed, entry.paths[s]);
    if (!found || found->isFolder() != entry.isFolder) continue;
    const uint64_t size = entry.isFolder ? 0 : found->size;
    look.bytes = std::max(look.bytes, std::min(size, entry.size));
    if (size == entry.size) look.candidates |= 1u << s;
  }
  return look;
}
