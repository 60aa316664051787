// Reading and removing folders: one enumeration per folder, never a question per path.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct ListedItem {
  std::wstring name;
  DWORD attributes = 0;
  uint64_t size = 0;  // may lag behind a file still open for writing
  bool isFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  // A junction or symbolic link: it may lead out of the tree or back into it.
  bool isLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
};

// The folder's items but "." and "..", in the file system's order; empty when it cannot be read.
std::vector<ListedItem> ListFolder(const std::wstring& folder);
// Everything below the folder but the item `except` directly in it, each folder before what it
// holds, named by its path relative to the folder; links are listed, not entered.
std::vector<ListedItem> ListFolderTree(const std::wstring& folder, const wchar_t* except = L"");

// In the order of names as the file system compares them: ignoring case by its own table.
void SortByName(std::vector<ListedItem>& items);
// Whether two names are one to the file system.
bool SameFileName(const std::wstring& a, const std::wstring& b);
// The item of that name in a list sorted so; null when there is none.
const ListedItem* FindByName(const std::vector<ListedItem>& sorted, const std::wstring& name);

// Deletes the file, or the folder with everything below it (links are removed, not followed),
// read-only or not. True when it is gone or its deletion waits only for a program holding it.
bool RemoveTree(const std::wstring& path);

// Whether the path still names something: an existing file or folder, or one whose deletion
// waits for the last program holding it (Windows then refuses access to the name).
bool PathLingers(const std::wstring& path);

bool IsFolder(const std::wstring& path);
// Creates the relative folder below the destination with every missing parent; true for none.
bool MakeFolders(const std::wstring& destination, const std::wstring& relative);
