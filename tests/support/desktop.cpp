#include "support/desktop.h"

#include <windows.h>
#include <shlobj.h>

#include "common/handles.h"

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

ShortcutInfo ReadShortcut(const std::wstring& linkPath) {
  ComApartment apartment;
  ShortcutInfo info;
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(linkPath.c_str(), STGM_READ)))
    return info;

  wchar_t text[MAX_PATH] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  info.target = text;
  text[0] = L'\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  info.workingFolder = text;
  text[0] = L'\0';
  link->GetIconLocation(text, MAX_PATH, &info.iconIndex);
  info.iconPath = text;
  info.loaded = true;
  return info;
}
