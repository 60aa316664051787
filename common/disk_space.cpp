#include "common/disk_space.h"

#include <windows.h>

#include "common/failure.h"

namespace {
constexpr char kDiskFullText[] = "磁盘空间不足";
}  // namespace

void RequireFreeSpace(const std::wstring& folder, uint64_t bytes) {
  ULARGE_INTEGER available = {};
  if (GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) &&
      available.QuadPart < bytes)
    Fail(kDiskFullText);
}
