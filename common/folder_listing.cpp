#include "common/folder_listing.h"

#include <algorithm>

#include "common/handles.h"

namespace {

int CompareNames(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE);
}

bool NameLess(const ListedItem& a, const ListedItem& b) {
  return CompareNames(a.name, b.name) == CSTR_LESS_THAN;
}

void ListInto(const std::wstring& folder, const std::wstring& prefix, const wchar_t* except,
              std::vector<ListedItem>& items) {
  for (ListedItem& item : ListFolder(folder)) {
    if (*except && CompareNames(item.name, except) == CSTR_EQUAL) continue;
    const std::wstring path = folder + L"\\" + item.name;
    const bool enter = item.isFolder() && !item.isLink();
    item.name.insert(0, prefix);
    items.push_back(std::move(item));
    if (enter) ListInto(path, items.back().name + L"\\", L"", items);
  }
}

}  // namespace

std::vector<ListedItem> ListFolder(const std::wstring& folder) {
  std::vector<ListedItem> items;
  WIN32_FIND_DATAW data;
  // Basic information skips the short names; large fetches ask the file system for many
  // entries at a time.
  FindHandle find(FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &data,
                                   FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return items;
  do {
    const wchar_t* name = data.cFileName;
    if (name[0] == L'.' && (!name[1] || (name[1] == L'.' && !name[2]))) continue;
    items.push_back({name, data.dwFileAttributes,
                     (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow});
  } while (FindNextFileW(find.get(), &data));
  return items;
}

std::vector<ListedItem> ListFolderTree(const std::wstring& folder, const wchar_t* except) {
  std::vector<ListedItem> items;
  ListInto(folder, L"", except, items);
  return items;
}

bool RemoveTree(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() != ERROR_ACCESS_DENIED;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != FALSE;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    for (const ListedItem& item : ListFolder(path)) RemoveTree(path + L"\\" + item.name);
  return RemoveDirectoryW(path.c_str()) != FALSE;
}

bool PathLingers(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES ||
         GetLastError() == ERROR_ACCESS_DENIED;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolders(const std::wstring& destination, const std::wstring& relative) {
  if (relative.empty() || IsFolder(destination + L"\\" + relative)) return true;
  for (size_t separator = relative.find(L'\\');; separator = relative.find(L'\\', separator + 1)) {
    const std::wstring folder = destination + L"\\" + relative.substr(0, separator);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && !IsFolder(folder)) return false;
    if (separator == std::wstring::npos) return true;
  }
}

bool SameFileName(const std::wstring& a, const std::wstring& b) {
  return CompareNames(a, b) == CSTR_EQUAL;
}

void SortByName(std::vector<ListedItem>& items) { std::sort(items.begin(), items.end(), NameLess); }

const ListedItem* FindByName(const std::vector<ListedItem>& sorted, const std::wstring& name) {
  const ListedItem wanted{name};
  const auto found = std::lower_bound(sorted.begin(), sorted.end(), wanted, NameLess);
  return found == sorted.end() || NameLess(wanted, *found) ? nullptr : &*found;
}
