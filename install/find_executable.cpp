#include "install/find_executable.h"

#include <windows.h>

#include "common/constants.h"
#include "common/folder_listing.h"
#include "common/handles.h"
#include "common/install_location.h"
#include "install/find_executable_internal.h"

namespace {

bool IsOneOf(const std::wstring& path, const std::vector<std::wstring>& paths) {
  for (const std::wstring& other : paths)
    if (SameFileName(path, other)) return true;
  return false;
}

}  // namespace

bool ShouldEnterFolder(DWORD attributes) {
  // A junction or symbolic link could lead out of the tree or back into it.
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring FindProductExecutable(const std::wstring& folder,
                                   const std::vector<std::wstring>& packageFiles) {
  const std::wstring direct = folder + L"\\" + kProductExeName;
  const DWORD attributes = GetFileAttributesW(direct.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
      IsOneOf(direct, packageFiles))
    return direct;

  WIN32_FIND_DATAW entry = {};
  FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (!find) return {};
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (!ShouldEnterFolder(entry.dwFileAttributes)) continue;
      std::wstring found = FindProductExecutable(child, packageFiles);
      if (!found.empty()) return found;
    } else if (IsProductExecutableName(name) && IsOneOf(child, packageFiles)) {
      return child;
    }
  } while (FindNextFileW(find.get(), &entry));
  return {};
}
