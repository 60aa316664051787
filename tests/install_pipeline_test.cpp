#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "common/shared_state.h"
#include "install/extract.h"
#include "install/find_executable.h"
#include "install/install_worker.h"
#include "install/shortcut.h"
#include "support/desktop.h"
#include "support/files.h"
#include "support/stand_in_window.h"
#include "support/zip_builder.h"

// Whole runs of the worker with the real extraction, search and shortcut; only the settings
// and the download are stand-ins, the download writing a real package.
namespace {

std::string g_package;
int g_pauses = 0;

DownloaderSettings Settings() { return {L"https://parser", L"", L"https://host/Tovarelin.zip"}; }
std::wstring Download(const DownloaderSettings&, const std::wstring& folder) {
  WriteBytes(folder + L"\\Tovarelin.zip", g_package);
  return folder + L"\\Tovarelin.zip";
}
void CountPause(DWORD) { ++g_pauses; }

const InstallSteps kSteps = {
    Settings,  Download, ExtractZipToFolder, FindProductExecutable, CreateDesktopShortcut,
    CountPause};

class InstallPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pauses = 0;
    RemoveTree(DesktopShortcutPath());
  }
  void TearDown() override { RemoveTree(DesktopShortcutPath()); }

  // Runs the worker and returns the text of its one WM_INSTALL_DONE, or "" for success.
  std::string Run() {
    RunInstallWorker(kSteps);
    std::vector<std::string> results;
    for (const DoneMessage& done : window_.TakeDone())
      results.push_back(done.wParam == 1 && !done.text ? "" : done.text ? done.text.get() : "(no text)");
    EXPECT_EQ(1u, results.size());
    return results.empty() ? "(no message)" : results.front();
  }

  std::wstring InstallFolder() const { return drive_ / L"Tovarelin"; }

  TempFolder drive_;
  StandInWindow window_{drive_.path() + L"\\"};
};

}  // namespace

TEST_F(InstallPipelineTest, InstallsThePackageAndPlacesTheShortcut) {
  ZipBuilder builder;
  builder.Add(ZipEntry::File("readme.txt", "read me"))
      .Add(ZipEntry::Folder("bin/"))
      .Add(ZipEntry::File("bin/霁岚舟.exe", std::string(100000, 'M')).Deflated().Utf8())
      .Add(ZipEntry::File("bin/data/table.dat", "table"))
      .Add(ZipEntry::Folder("logs/"));
  g_package = builder.Finish();

  ASSERT_EQ("", Run());
  EXPECT_EQ(std::vector<std::wstring>({L"bin\\", L"bin\\data\\", L"bin\\data\\table.dat",
                                       L"bin\\霁岚舟.exe", L"logs\\", L"readme.txt"}),
            ListTree(InstallFolder()));  // package deleted, _download removed
  EXPECT_EQ(std::string(100000, 'M'), ReadBytes(InstallFolder() + L"\\bin\\霁岚舟.exe"));
  EXPECT_EQ(0, g_pauses);
  EXPECT_EQ(InstallFolder(), g_installedFolder);

  const ShortcutInfo link = ReadShortcut(DesktopShortcutPath());
  EXPECT_EQ(InstallFolder() + L"\\bin\\霁岚舟.exe", link.target);
  EXPECT_EQ(InstallFolder() + L"\\bin", link.workingFolder);
}

TEST_F(InstallPipelineTest, ReportsAPackageThatCannotBeExtracted) {
  ZipBuilder builder;
  const std::string archive = builder.Add(ZipEntry::File("霁岚舟.exe", "MZ")).Finish();
  g_package = archive.substr(0, archive.size() - 10);  // still begins with "PK"
  EXPECT_EQ("解压安装包失败", Run());
  EXPECT_EQ(std::vector<std::wstring>({L"_download\\", L"_download\\Tovarelin.zip"}),
            ListTree(InstallFolder()));
  EXPECT_TRUE(g_installedFolder.empty());
}

TEST_F(InstallPipelineTest, ReportsAPackageWithoutTheExecutableAtOnce) {
  ZipBuilder builder;
  g_package = builder.Add(ZipEntry::File("bin/other.exe", "MZ"))
                  .Add(ZipEntry::Folder("霁岚舟.exe/").Utf8())  // a folder never counts
                  .Finish();
  EXPECT_EQ("安装包内未找到 霁岚舟.exe", Run());
  EXPECT_EQ(0, g_pauses);
  // Refused on the package's directory, before anything was extracted.
  EXPECT_EQ(std::vector<std::wstring>({L"_download\\", L"_download\\Tovarelin.zip"}),
            ListTree(InstallFolder()));
  EXPECT_FALSE(PathExists(DesktopShortcutPath()));
}
