#include "support/windows_moves.h"

#include <utility>
#include <vector>

#include "common/folder_listing.h"
#include "install/tree_switch.h"

namespace {

std::vector<HeldOpen*> g_held;

}  // namespace

HeldOpen::HeldOpen(const std::wstring& path, DWORD share, KernelHandle process)
    : path(path), process_(std::move(process)) {
  if (process_)
    WaitForInputIdle(process_.get(), 10000);  // its current folder is held from its start on
  else
    handle_.reset(CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  g_held.push_back(this);
}

HeldOpen::~HeldOpen() {
  std::erase(g_held, this);
  if (!process_) return;
  TerminateProcess(process_.get(), 0);
  WaitForSingleObject(process_.get(), 5000);
}

bool MoveAsWindows(const std::wstring& from, const std::wstring& to) {
  for (const HeldOpen* held : g_held)
    if (held->path.size() > from.size() && held->path[from.size()] == L'\\' &&
        SameFileName(held->path.substr(0, from.size()), from)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
  if (!MovePath(from, to)) return false;
  for (HeldOpen* held : g_held)
    if (SameFileName(held->path, from)) held->path = to;
  return true;
}
