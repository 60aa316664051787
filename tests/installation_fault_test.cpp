// Whole installations through the real window that meet a fault: each ends in its message,
// or keeps running until the window is closed, and never in a crash.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

#include "app/main_window.h"
#include "app/window_style.h"
#include "support/files.h"
#include "support/install_scenario.h"
#include "support/signing.h"
#include "support/window_driver.h"

namespace {

using InstallationFault = InstallScenario;

constexpr ULONGLONG kSmallDriveBytes = 1024 * 1024;
constexpr size_t kLargeFillerBytes = 96 << 20;  // long enough to close while it downloads
// What a run that stops after the download leaves in the install folder.
const std::vector<std::wstring> kOnlyThePackage = {L"_download\\", L"_download\\Tovarelin.zip"};

HttpResponse Silence() {
  HttpResponse response;
  response.neverAnswer = true;
  return response;
}

void ExpectClosingExitsWithZero(InstallerProcess& installer) {
  installer.Close();
  DWORD exitCode = 99;
  ASSERT_TRUE(installer.WaitForExit(10000, &exitCode)) << "still running after WM_CLOSE";
  EXPECT_EQ(0u, exitCode);
}

}  // namespace

TEST_F(InstallationFault, SettingsServerDownChangesNothingOnDisk) {
  InstallerProcess installer;  // nothing listens on the settings port
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectFailure(installer, L"网络请求失败");
  EXPECT_TRUE(WaitUntil([&] {
    return installer.PixelAt(installer.control(IDC_START_BUTTON), 3, 3) == kButtonFace;
  })) << "the enabled face";
  EXPECT_FALSE(PathExists(InstallFolderOn(L'C')));
  EXPECT_FALSE(PathExists(DesktopShortcutPath()));
}

TEST_F(InstallationFault, EmptyDownloadUrlIsReported) {
  ScriptedServer files(HttpResponse::Body(ProductPackage()));
  ServeSettings(files.url(), L"k", L"");
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectFailure(installer, L"后台未配置霁岚舟安装包下载链接");
  EXPECT_TRUE(files.requests().empty());
}

TEST_F(InstallationFault, MissingPackageIsReported) {
  ServePackage(HttpResponse::Body("not here", 404));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectFailure(installer, L"服务器返回错误");
  EXPECT_FALSE(PathExists(InstallFolderOn(L'C') + L"\\_download\\Tovarelin.zip"));
}

TEST_F(InstallationFault, ConnectionDroppedMidBodyIsReported) {
  const std::string package = ProductPackage(64 * 1024);
  HttpResponse dropped = HttpResponse::Body(package);
  dropped.dropAfter = static_cast<long long>(package.size() / 2);
  ServePackage(dropped);
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectFailure(installer, L"网络请求失败");
  EXPECT_FALSE(PathExists(ProductExeIn(InstallFolderOn(L'C'))));
}

// A reinstall whose package fails a check once it is in: its published hash, or its signature
// (someone on the way swapped the package and signed it with a key of their own). The package
// goes unextracted with the download folder, and what the first run installed, shortcut
// included, stays as it was.
TEST_F(InstallationFault, ReinstallOfAPackageThatFailsItsChecksLeavesTheInstalledVersion) {
  ServePackage(HttpResponse::Body(ProductPackage()));
  {
    InstallerProcess first;
    ASSERT_TRUE(first.window());
    first.PressButton();
    ExpectInstalled(first);
  }
  const std::wstring folder = InstallFolderOn(L'C');
  const std::vector<std::wstring> installed = ListTree(folder);
  const std::string other = ZipPackage({{"Tovarelin/bin/霁岚舟.exe", "MZ not the publisher's"}});
  const std::wstring stranger = PackageSigner::Stranger().Sign(other);
  const struct {
    std::wstring sha256;
    const std::wstring* signature;  // null: the publisher's
    const wchar_t* text;
  } kRefused[] = {{Sha256Hex(ProductPackage()), nullptr, L"安装包校验失败"},
                  {L"", &stranger, L"安装包签名无效"}};
  for (const auto& refused : kRefused) {
    ScriptedServer& files =
        ServePackage(HttpResponse::Body(other), refused.sha256, refused.signature);
    InstallerProcess installer;
    ASSERT_TRUE(installer.window());
    installer.PressButton();
    ExpectFailure(installer, refused.text);
    EXPECT_EQ(1u, files.requests().size());
    EXPECT_EQ(installed, ListTree(folder));
    ExpectProductInstalledIn(folder);
  }
}

TEST_F(InstallationFault, CorruptZipIsReported) {
  const std::string package = ProductPackage(64 * 1024);
  ServePackage(HttpResponse::Body(package.substr(0, package.size() / 2)));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectFailure(installer, L"解压安装包失败");
  EXPECT_EQ(kOnlyThePackage, ListTree(InstallFolderOn(L'C'))) << "the package was extracted";
  EXPECT_FALSE(PathExists(DesktopShortcutPath()));
}

// The package's own directory shows at once that it holds no product; a folder of that
// name does not count, and nothing is extracted.
TEST_F(InstallationFault, ZipWithoutTheExecutableIsReportedWithinSeconds) {
  ServePackage(HttpResponse::Body(ZipPackage({{"Tovarelin/README.txt", "no product"},
                                              {"Tovarelin/霁岚舟.exe/note.txt", "a folder"},
                                              {"霁岚舟.exe/", ""}})));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  const ULONGLONG pressed = GetTickCount64();
  installer.PressButton();
  ExpectFailure(installer, L"安装包内未找到 霁岚舟.exe");
  const double seconds = (GetTickCount64() - pressed) / 1000.0;
  std::printf("reported and dismissed %.1f s after the press\n", seconds);
  EXPECT_LT(seconds, 10.0);
  EXPECT_EQ(kOnlyThePackage, ListTree(InstallFolderOn(L'C'))) << "the package was extracted";
  EXPECT_FALSE(PathExists(DesktopShortcutPath()));
}

// A running 霁岚舟 holds its executable: the run stops before anything is written.
TEST_F(InstallationFault, FileInUseIsReportedWithinSecondsAndReplacesNothing) {
  const std::wstring product = InstallFolderOn(L'C') + L"\\Tovarelin";
  MakeFolders(product + L"\\bin");
  WriteBytes(ProductExeIn(InstallFolderOn(L'C')), "MZ version 1");
  WriteBytes(product + L"\\README.txt", "version 1");
  const std::vector<std::wstring> installed = ListTree(product);
  ServePackage(HttpResponse::Body(ProductPackage()));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  {
    const FileHandle running = HoldUnshared(ProductExeIn(InstallFolderOn(L'C')));
    const ULONGLONG pressed = GetTickCount64();
    installer.PressButton();
    ExpectFailure(installer, L"安装目录中有文件正在使用，请关闭霁岚舟后重试");
    const double seconds = (GetTickCount64() - pressed) / 1000.0;
    std::printf("reported and dismissed %.1f s after the press\n", seconds);
    EXPECT_LT(seconds, 10.0);
  }
  EXPECT_EQ(installed, ListTree(product));
  EXPECT_EQ("MZ version 1", ReadBytes(ProductExeIn(InstallFolderOn(L'C'))));
  EXPECT_EQ("version 1", ReadBytes(product + L"\\README.txt"));
}

TEST_F(InstallationFault, FullDriveIsReported) {
  ULARGE_INTEGER total = {};
  if (!GetDiskFreeSpaceExW(L"F:\\", nullptr, &total, nullptr) || total.QuadPart > kSmallDriveBytes)
    GTEST_SKIP() << "F: is not the small tmpfs that tests/wine/run.sh mounts as root";
  const auto failsOnF = [&](const HttpResponse& package, const std::wstring& text) {
    ServePackage(package);
    InstallerProcess installer;
    ASSERT_TRUE(installer.window());
    ASSERT_TRUE(installer.SelectDrive(L"F:\\")) << "the prefix maps F: as a fixed drive";
    installer.PressButton();
    ExpectFailure(installer, text);
    EXPECT_FALSE(PathExists(DesktopShortcutPath()));
  };
  // Only announced: under Wine an unread large body can block the test server's end for good.
  HttpResponse tooLarge = HttpResponse::Body(ProductPackage());
  tooLarge.announcedLength = 2 * kSmallDriveBytes;
  failsOnF(tooLarge, L"磁盘空间不足");
  EXPECT_FALSE(PathExists(InstallFolderOn(L'F') + L"\\_download\\Tovarelin.zip"));
  // Small as a package, too large unpacked: refused before anything is extracted.
  failsOnF(HttpResponse::Body(ZipPackage({{"Tovarelin/bin/霁岚舟.exe", "MZ"},
                                          {"Tovarelin/zeros.bin", std::string(kSmallDriveBytes, 0)}})),
           L"磁盘空间不足");
  EXPECT_EQ(kOnlyThePackage, ListTree(InstallFolderOn(L'F')));
}

TEST_F(InstallationFault, SilentServerKeepsTheWindowRunningUntilClosed) {
  ServeSettings(L"", L"", L"");
  settings_->Answer(Silence());
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  HWND button = installer.control(IDC_START_BUTTON);
  HWND bar = installer.control(IDC_PROGRESS_BAR);
  installer.PressButton();
  installer.PressButton();  // a second press while running starts nothing
  ASSERT_TRUE(WaitUntil([&] { return settings_->requests().size() == 1; }));
  Sleep(3000);
  EXPECT_EQ(1u, settings_->requests().size());
  ExpectRunning(installer);
  EXPECT_EQ(kButtonFaceDisabled, installer.PixelAt(button, 3, 3)) << "the disabled face";
  const int first = installer.ProgressPosition();
  Shoot(installer, "-1");
  Sleep(1000);  // far enough along to tell the pictures apart
  EXPECT_TRUE(installer.ProgressMoves()) << "the bar stands still at " << first;
  std::printf("the bar at %d, then at %d\n", first, installer.ProgressPosition());
  Shoot(installer, "-2");
  // Filled from the left, as a position is drawn; a marquee's block is a few pixels wide.
  const auto filled = [&](int x) { return installer.PixelAt(bar, x, 6) == kButtonFace; };
  EXPECT_TRUE(WaitUntil([&] { return filled(10) && filled(kProgressBarBox.width / 2); }));
  ExpectClosingExitsWithZero(installer);
}

// Closed while the package is downloaded (and hashed, as it is written) or extracted, the worker
// ends with the process and the installed version stays as it was. Closed in the middle of the
// switch (a file of the installed version held by another program makes it wait), the process
// ends only once the switch has been undone. The person's notes keep the folder from moving
// whole, so that the held file is moved on its own: Wine, unlike Windows, renames a folder with
// a file open in it.
TEST_F(InstallationFault, ClosingWhileDownloadingExtractingOrSwitchingLeavesTheInstalledVersion) {
  const std::string package = ProductPackage(kLargeFillerBytes);
  ServePackage(HttpResponse::Body(package), Sha256Hex(package));
  const std::wstring folder = InstallFolderOn(L'C');
  const std::wstring product = folder + L"\\Tovarelin";
  const std::wstring staged = folder + L"\\_download\\new\\Tovarelin\\data\\filler.bin";
  FileHandle held;
  const std::function<bool(InstallerProcess&)> inPhase[] = {
      [&](InstallerProcess& i) { return i.ProgressPosition() > 50 && !PathExists(staged); },
      [&](InstallerProcess&) { return PathExists(staged); },
      [&](InstallerProcess&) {
        if (!held && PathExists(staged)) held = HoldUnshared(product + L"\\README.txt");
        return PathExists(folder + L"\\_download\\switch.journal");
      }};
  for (const auto& phase : inPhase) {
    RemoveTree(folder);
    MakeFolders(product + L"\\bin");
    WriteBytes(ProductExeIn(folder), "MZ version 1");
    WriteBytes(product + L"\\README.txt", "version 1");
    WriteBytes(product + L"\\notes.txt", "mine");
    InstallerProcess installer;
    ASSERT_TRUE(installer.window());
    installer.PressButton();
    ASSERT_TRUE(WaitUntil([&] { return phase(installer); }, std::chrono::seconds(60)));
    installer.Close();
    DWORD exitCode = 99;
    if (held) {
      EXPECT_FALSE(installer.WaitForExit(2000, &exitCode)) << "it left mid-switch";
    }
    ASSERT_TRUE(installer.WaitForExit(20000, &exitCode)) << "still running after WM_CLOSE";
    EXPECT_EQ(0u, exitCode);
    held.reset();
    EXPECT_EQ((std::vector<std::wstring>{L"README.txt", L"bin\\", L"bin\\霁岚舟.exe",
                                         L"notes.txt"}),
              ListTree(product));
    EXPECT_EQ("MZ version 1", ReadBytes(ProductExeIn(folder)));
    EXPECT_EQ("version 1", ReadBytes(product + L"\\README.txt"));
    EXPECT_FALSE(PathExists(folder + L"\\_download\\switch.journal"));
    EXPECT_TRUE(PathExists(folder + L"\\_download\\Tovarelin.zip")) << "the run went on";
    EXPECT_FALSE(PathExists(DesktopShortcutPath()));
  }
}

TEST_F(InstallationFault, ClosingMidDownloadExitsWithZero) {
  ScriptedServer& files = ServePackage(SlowBody(ProductPackage(256 * 1024), 40, 250));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ASSERT_TRUE(WaitUntil([&] { return !files.requests().empty(); })) << "no download started";
  ExpectRunning(installer);
  ExpectClosingExitsWithZero(installer);
}
