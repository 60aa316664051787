#include "install/replace_check.h"

#include <windows.h>

#include "common/disk_space.h"
#include "common/failure.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "common/wait.h"
#include "install/failure_texts.h"

namespace {

// Opened for writing and deletion, then closed at once: a running program's file cannot be. A
// reader that shares everything (a scanner) stops neither this nor the file's move.
bool IsInUse(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, kShareAll, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace

void CheckReplaceable(const std::vector<PackageEntry>& entries, const InstallFolders& folders,
                      const std::vector<std::wstring>& placed, int attempts,
                      FunctionRef<void()> pause) {
  uint64_t total = 0;
  std::vector<ListedItem> named;
  std::vector<std::wstring> inUse;
  for (const PackageEntry& entry : entries) {
    total += entry.size;
    for (const std::wstring& path : entry.paths) {
      named.push_back({path});
      if (!entry.isFolder && IsInUse(folders.install + L"\\" + path))
        inUse.push_back(folders.install + L"\\" + path);
    }
  }
  for (const std::wstring& file : ObsoleteFiles(folders, placed, std::move(named)))
    if (IsInUse(folders.install + L"\\" + file)) inUse.push_back(folders.install + L"\\" + file);
  RequireFreeSpace(folders.install, total);
  // A scanner may hold a file for a moment; only files in use are looked at again.
  if (!WaitWhileAdvancing(attempts, pause, [&] {
        std::erase_if(inUse, [](const std::wstring& path) { return !IsInUse(path); });
        return inUse.empty() ? Look::kDone : Look::kStill;
      }))
    Fail(kInUseText);
}
