#include "install/shortcut.h"

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include "common/failure.h"
#include "common/handles.h"

namespace {

constexpr wchar_t kShortcutFileName[] = L"\\霁岚舟.lnk";
constexpr int kIconIndex = 0;
constexpr char kCreateFailedText[] = "创建快捷方式失败";
constexpr char kSaveFailedText[] = "保存桌面快捷方式失败";

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  // On failure the path stays empty and the save below decides.
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

}  // namespace

void CreateDesktopShortcut(const std::wstring& executablePath, const std::wstring& workingFolder) {
  const std::wstring shortcutPath = DesktopFolder() + kShortcutFileName;

  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())))
    Fail(kCreateFailedText);
  link->SetPath(executablePath.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  link->SetIconLocation(executablePath.c_str(), kIconIndex);

  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Save(shortcutPath.c_str(), TRUE)))
    Fail(kSaveFailedText);
}
