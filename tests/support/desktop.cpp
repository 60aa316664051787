#include "support/desktop.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "common/handles.h"

namespace {

struct TaskMemFree {
  void operator()(ITEMIDLIST* items) const { CoTaskMemFree(items); }
};

}  // namespace

std::wstring DesktopShortcutPath() {
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  return std::wstring(desktop) + L"\\霁岚舟.lnk";
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

  // The target comes from the link's item list: Wine's GetPath answers from a copy kept in
  // the ANSI code page, which turns Chinese names into question marks.
  wchar_t text[MAX_PATH] = {};
  ITEMIDLIST* items = nullptr;
  link->GetIDList(&items);
  const std::unique_ptr<ITEMIDLIST, TaskMemFree> owned(items);
  if (owned && SHGetPathFromIDListW(owned.get(), text)) info.target = text;
  text[0] = L'\0';
  link->GetWorkingDirectory(text, MAX_PATH);
  info.workingFolder = text;
  text[0] = L'\0';
  link->GetIconLocation(text, MAX_PATH, &info.iconIndex);
  info.iconPath = text;
  info.loaded = true;
  return info;
}
