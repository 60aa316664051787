#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

#include <memory>
#include <vector>

#include "common/shared_state.h"
#include "common/handles.h"
#include "install/extract.h"
#include "install/find_executable.h"
#include "install/install_worker_internal.h"
#include "install/shortcut.h"
#include "support/files.h"
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

std::wstring DesktopShortcut() {
  wchar_t desktop[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop);
  return std::wstring(desktop) + L"\\霁岚舟.lnk";
}

class InstallPipelineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_pauses = 0;
    g_mainWindow =
        CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    g_driveCombo = nullptr;  // CB_GETCURSEL then answers 0: the first drive
    g_installDrives = {drive_.path() + L"\\"};
    g_installedFolder.clear();
    RemoveTree(DesktopShortcut());
  }
  void TearDown() override {
    DestroyWindow(g_mainWindow);
    RemoveTree(DesktopShortcut());
  }

  // Runs the worker and returns the text of its one WM_INSTALL_DONE, or "" for success.
  std::string Run() {
    RunInstallWorker(kSteps);
    MSG message;
    std::vector<std::string> results;
    while (PeekMessageW(&message, g_mainWindow, WM_INSTALL_DONE, WM_INSTALL_DONE, PM_REMOVE)) {
      std::unique_ptr<char[]> text(reinterpret_cast<char*>(message.lParam));
      results.push_back(message.wParam == 1 && !text ? "" : text ? text.get() : "(no text)");
    }
    EXPECT_EQ(1u, results.size());
    return results.empty() ? "(no message)" : results.front();
  }

  std::wstring InstallFolder() const { return drive_ / L"Tovarelin"; }

  ComApartment apartment_;  // for reading the shortcut back
  TempFolder drive_;
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

  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IShellLinkW, link.put_void()));
  ASSERT_HRESULT_SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.put_void()));
  ASSERT_HRESULT_SUCCEEDED(file->Load(DesktopShortcut().c_str(), STGM_READ));
  wchar_t text[MAX_PATH] = {};
  LPITEMIDLIST target = nullptr;  // see the shortcut tests for why not GetPath
  ASSERT_HRESULT_SUCCEEDED(link->GetIDList(&target));
  EXPECT_TRUE(SHGetPathFromIDListW(target, text));
  CoTaskMemFree(target);
  EXPECT_EQ(InstallFolder() + L"\\bin\\霁岚舟.exe", text);
  ASSERT_HRESULT_SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH));
  EXPECT_EQ(InstallFolder() + L"\\bin", text);
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
  EXPECT_FALSE(PathExists(DesktopShortcut()));
}
