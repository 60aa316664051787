// Real files for the tests: a private folder that is removed afterwards, and small file helpers.
#pragma once

#include <string>
#include <vector>

#include "common/folder_listing.h"  // RemoveTree
#include "common/handles.h"

class TempFolder {
 public:
  TempFolder();   // a new, empty folder under %TEMP%
  ~TempFolder();  // removes it with everything in it
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

void WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool PathExists(const std::wstring& path);
void MakeFolders(const std::wstring& path);  // with every missing parent
// Every file and folder below the folder, relative, sorted; folders end in a backslash.
std::vector<std::wstring> ListTree(const std::wstring& folder);

// The file opened without sharing, as a running program or a virus scanner holds it: other
// opens fail with a sharing violation until the handle goes.
FileHandle HoldUnshared(const std::wstring& path);
