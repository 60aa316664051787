// Holds a file open without sharing it, as a running program or a virus scanner does:
//   file_holder.exe PATH MILLISECONDS
#include <windows.h>

#include <cwchar>

#include "common/handles.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  const FileHandle file(
      CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file) return 1;
  Sleep(static_cast<DWORD>(wcstoul(argv[2], nullptr, 10)));
  return 0;
}
