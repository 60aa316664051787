#include "common/open_file.h"

#include "common/wait.h"

namespace {
constexpr DWORD kRetryPauseMs = 100;
constexpr int kRetries = 100;
}  // namespace

FileHandle OpenFileRetrying(const std::wstring& path, DWORD access, DWORD share,
                            DWORD disposition, DWORD flags) {
  for (int retry = 0;; ++retry) {
    FileHandle file(CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr));
    if (file || GetLastError() != ERROR_SHARING_VIOLATION || retry == kRetries) return file;
    PauseDispatching(kRetryPauseMs);
  }
}
