#include "install/replace_check.h"

#include <windows.h>

#include <stdexcept>

#include "common/disk_space.h"
#include "common/handles.h"
#include "common/wait.h"

namespace {

constexpr char kInUseText[] = "安装目录中有文件正在使用，请关闭霁岚舟后重试";

// Opened for writing and deletion with no sharing, as replacing it needs, then closed at once.
bool IsInUse(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file && GetLastError() == ERROR_SHARING_VIOLATION;
}

}  // namespace

void CheckReplaceable(const PackageTreeCheck& tree, const std::wstring& installFolder,
                      int attempts, const std::function<void()>& pause) {
  uint64_t replaced = 0;
  std::vector<std::wstring> inUse;
  for (const auto& [path, size] : tree.PresentFiles()) {
    replaced += size;
    if (IsInUse(path)) inUse.push_back(path);
  }
  const uint64_t total = tree.TotalBytes();
  RequireFreeSpace(installFolder, total > replaced ? total - replaced : 0);
  // A scanner may hold a file for a moment; only files in use are looked at again.
  if (!WaitWhileAdvancing(attempts, pause, [&] {
        std::erase_if(inUse, [](const std::wstring& path) { return !IsInUse(path); });
        return inUse.empty() ? Look::kDone : Look::kStill;
      }))
    throw std::runtime_error(kInUseText);
}
