#include "bench/tree_walk.h"

#include <windows.h>

#include "common/handles.h"

namespace {
bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0));
}

void Walk(const std::wstring& folder, const std::wstring& name, WalkCount& count) {
  if (!count.found && GetFileAttributesW((folder + L"\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES) {
    count.found = true;
    count.entriesBeforeMatch = count.entries;
  }
  WIN32_FIND_DATAW entry = {};
  FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return;
  do {
    if (IsDotEntry(entry.cFileName)) continue;
    count.entries++;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      Walk(folder + L"\\" + entry.cFileName, name, count);
    }
  } while (FindNextFileW(find.get(), &entry));
}
}  // namespace

WalkCount CountSearchWalk(const std::wstring& folder, const std::wstring& name) {
  WalkCount count;
  Walk(folder, name, count);
  return count;
}
