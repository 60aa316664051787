#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <stdexcept>
#include <thread>

#include "common/handles.h"
#include "install/shortcut.h"
#include "support/files.h"

namespace {

struct LinkContents {
  std::wstring target, workingFolder, iconPath;
  int iconIndex = -1;
};

// Reads a saved shortcut back through the shell link object.
LinkContents LoadLink(const std::wstring& path) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  LinkContents contents;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.put_void())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put_void())) ||
      FAILED(file->Load(path.c_str(), STGM_READ)))
    return contents;
  // The target is read from the link's item list: Wine's GetPath answers from a copy kept in
  // the ANSI code page, which turns the Chinese name into question marks.
  wchar_t text[MAX_PATH] = {};
  LPITEMIDLIST target = nullptr;
  if (SUCCEEDED(link->GetIDList(&target)) && SHGetPathFromIDListW(target, text))
    contents.target = text;
  CoTaskMemFree(target);
  if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) contents.workingFolder = text;
  if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &contents.iconIndex)))
    contents.iconPath = text;
  return contents;
}

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t desktop[MAX_PATH] = {};
    ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT,
                                     desktop));
    shortcut_ = std::wstring(desktop) + L"\\霁岚舟.lnk";
    RemoveTree(shortcut_);
    MakeFolders(install_ / L"bin");
    WriteBytes(Executable(), "MZ");
  }
  void TearDown() override { RemoveTree(shortcut_); }
  std::wstring Executable() const { return install_ / L"bin\\霁岚舟.exe"; }

  ComApartment apartment_;
  TempFolder install_;
  std::wstring shortcut_;
};

}  // namespace

TEST_F(ShortcutTest, SavesTargetWorkingFolderAndIconOnTheDesktop) {
  CreateDesktopShortcut(Executable(), install_ / L"bin");
  const LinkContents link = LoadLink(shortcut_);
  EXPECT_EQ(Executable(), link.target);
  EXPECT_EQ(install_ / L"bin", link.workingFolder);
  EXPECT_EQ(Executable(), link.iconPath);
  EXPECT_EQ(0, link.iconIndex);
}

TEST_F(ShortcutTest, ReplacesAnEarlierShortcutOfTheSameName) {
  WriteBytes(shortcut_, "an old shortcut");
  WriteBytes(install_ / L"霁岚舟.exe", "MZ");
  CreateDesktopShortcut(install_ / L"霁岚舟.exe", install_.path());
  CreateDesktopShortcut(Executable(), install_ / L"bin");
  const LinkContents link = LoadLink(shortcut_);
  EXPECT_EQ(Executable(), link.target);
  EXPECT_EQ(install_ / L"bin", link.workingFolder);
}

TEST_F(ShortcutTest, ReportsASaveThatFails) {
  MakeFolders(shortcut_);  // a folder where the file should go
  try {
    CreateDesktopShortcut(Executable(), install_ / L"bin");
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ("保存桌面快捷方式失败", e.what());
  }
}

TEST_F(ShortcutTest, ReportsALinkObjectThatCannotBeCreated) {
  // A thread that never joined COM cannot create the object.
  std::string error;
  std::thread([&] {
    try {
      CreateDesktopShortcut(Executable(), install_ / L"bin");
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
  }).join();
  EXPECT_EQ("创建快捷方式失败", error);
  EXPECT_FALSE(PathExists(shortcut_));
}
