// Stands in for a DLL that someone left beside a downloaded program under a system DLL's
// name. Whenever a process loads it, it leaves "<its own path>.loaded" and refuses to load.
#include <windows.h>

#include <string>

#include "common/handles.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
  if (length > 0 && length < MAX_PATH) {
    const std::wstring marker = std::wstring(path, length) + L".loaded";
    FileHandle file(CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  return FALSE;
}

// Exported under the names the control program imports (see planted_dll.def): a loader
// binds imports before it runs DllMain, and fails without them.
extern "C" int PlantedExport() { return 0; }
