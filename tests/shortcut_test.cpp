#include <gtest/gtest.h>

#include <windows.h>

#include "common/handles.h"
#include "install/shortcut.h"
#include "support/desktop.h"
#include "support/failure.h"
#include "support/files.h"
#include "support/threads.h"

namespace {

class ShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shortcut_ = DesktopShortcutPath();
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

TEST_F(ShortcutTest, ReplacesAnEarlierShortcutOfTheSameName) {
  WriteBytes(shortcut_, "an old shortcut");
  WriteBytes(install_ / L"霁岚舟.exe", "MZ");
  CreateDesktopShortcut(install_ / L"霁岚舟.exe", install_.path());
  CreateDesktopShortcut(Executable(), install_ / L"bin");
  const ShortcutInfo link = ReadShortcut(shortcut_);
  EXPECT_EQ(Executable(), link.target);
  EXPECT_EQ(install_ / L"bin", link.workingFolder);
}

TEST_F(ShortcutTest, ReportsASaveThatFails) {
  MakeFolders(shortcut_);  // a folder where the file should go
  EXPECT_EQ("保存桌面快捷方式失败",
            FailureOf([&] { CreateDesktopShortcut(Executable(), install_ / L"bin"); }));
}

TEST_F(ShortcutTest, ReportsALinkObjectThatCannotBeCreated) {
  // A thread that never joined COM cannot create the object.
  std::string error;
  Thread([&] {
    error = FailureOf([&] { CreateDesktopShortcut(Executable(), install_ / L"bin"); });
  }).join();
  EXPECT_EQ("创建快捷方式失败", error);
  EXPECT_FALSE(PathExists(shortcut_));
}
