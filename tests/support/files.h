// Real files for the tests: a private folder that is removed afterwards, and small file helpers.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

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
void RemoveTree(const std::wstring& path);
// Every file and folder below the folder, relative, sorted; folders end in a backslash.
std::vector<std::wstring> ListTree(const std::wstring& folder);

// Another process that holds the file open without sharing it, as a running program or a
// virus scanner does: from construction, once it holds the file, for that long or until this
// object goes, which ends the process.
class FileHolder {
 public:
  FileHolder(const std::wstring& path, DWORD milliseconds);
  ~FileHolder();
  FileHolder(const FileHolder&) = delete;
  FileHolder& operator=(const FileHolder&) = delete;

 private:
  KernelHandle process_;
};
