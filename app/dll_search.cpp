#include "app/dll_search.h"

#include <windows.h>

#include <string>

#include "common/constants.h"

namespace {

using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// Windows 7 has it only with update KB2533623: imported, it would stop the start without it.
SetDefaultDllDirectoriesFunction FindSetDefaultDllDirectories() {
#ifdef TOVARELIN_TEST_WITHOUT_SET_DEFAULT_DLL_DIRECTORIES
  return nullptr;  // a test build that starts as Windows 7 without the update does
#else
  return reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
#endif
}

}  // namespace

void KeepDllSearchInSystem32() {
  if (const SetDefaultDllDirectoriesFunction setDefault = FindSetDefaultDllDirectories()) {
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    return;
  }
  // The program's own folder stays first in the search. So each delay-loaded DLL is loaded now
  // by its System32 path, its own imports from there too, and stays for the process: the
  // delay-load helper then finds it loaded and searches nothing. The current folder goes too.
  SetDllDirectoryW(L"");
  wchar_t system[MAX_PATH];
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  for (const wchar_t* dll : kDelayLoadedDlls) {
    const std::wstring path = std::wstring(system, length) + L"\\" + dll;
    LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}
