// The worker's move step as Windows renames: no folder while a handle is open anywhere below
// it. Wine refuses only for a handle on the folder itself, so the holds here are real handles
// (Wine decides for the held item) and the step refuses for the folders above them.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"

// Held while it lives: a folder as a process's current folder holds it (kNoDeleteSharing), a
// file as a scanner reads it (all sharing), or a folder that a process stands in, which ends
// with the hold. A held file that is moved keeps its hold at its new place.
class HeldOpen {
 public:
  static constexpr DWORD kNoDeleteSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
  HeldOpen(const std::wstring& path, DWORD share, KernelHandle process = {});
  ~HeldOpen();
  HeldOpen(const HeldOpen&) = delete;
  HeldOpen& operator=(const HeldOpen&) = delete;
  explicit operator bool() const { return handle_ || process_; }

  std::wstring path;

 private:
  FileHandle handle_;
  KernelHandle process_;
};

// MovePath, but false with ERROR_ACCESS_DENIED while something is held below `from`.
bool MoveAsWindows(const std::wstring& from, const std::wstring& to);
