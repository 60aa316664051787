// Whole installations through the real window: the roads that end with the product installed.
#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "app/main_window.h"
#include "common/code_pages.h"
#include "common/handles.h"
#include "support/files.h"
#include "support/install_scenario.h"
#include "support/window_driver.h"

namespace {

using Installation = InstallScenario;

constexpr size_t kVisibleProgressBytes = 256 * 1024;  // a download long enough to watch
constexpr wchar_t kExplorerClass[] = L"ExplorerWClass";

std::string EscapeSlashes(std::string json) {
  for (size_t at = 0; (at = json.find('/', at)) != std::string::npos; at += 2)
    json.insert(at, "\\");
  return json;
}

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

// The wineserver's trace of this run, where tests/wine/run.sh writes it (TOVARELIN_SERVER_TRACE,
// a Linux path; Z: is /): a line for each request and reply, with the descriptor it carries.
std::string ServerTrace() {
  const char* path = std::getenv("TOVARELIN_SERVER_TRACE");
  std::wstring windowsPath = L"Z:" + Utf8ToWide(path ? path : "");
  std::replace(windowsPath.begin(), windowsPath.end(), L'/', L'\\');
  return ReadBytes(windowsPath);
}

// The line around the position, and whether it holds every part.
std::string LineAt(const std::string& text, size_t at) {
  const size_t start = text.rfind('\n', at) + 1;
  return text.substr(start, text.find('\n', at) - start);
}
bool Holds(const std::string& line, std::initializer_list<std::string> parts) {
  return std::all_of(parts.begin(), parts.end(),
                     [&](const std::string& part) { return line.find(part) != line.npos; });
}

// The installation folder's DACL as the trace spells it, for the account this test runs as.
std::string FolderDaclInTrace() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  const KernelHandle owned(token);
  alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  DWORD size = 0;
  LPWSTR account = nullptr;
  GetTokenInformation(token, TokenUser, user, sizeof user, &size);
  ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &account);
  const LocalMemory<LPWSTR> text(account);
  const std::string allowed = "{type=ACCESS_ALLOWED,flags=3,mask=";
  return "dacl={" + allowed + "1f01ff,sid=S-1-5-18}," + allowed + "1f01ff,sid=S-1-5-32-544}," +
         allowed + "1f01ff,sid=" + WideToUtf8(account ? account : L"?") + "}," + allowed +
         "1200a9,sid=S-1-5-32-545}";
}

void EndProcessOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  KernelHandle process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId));
  ASSERT_TRUE(process);
  TerminateProcess(process.get(), 0);
  WaitForSingleObject(process.get(), 5000);
}

}  // namespace

TEST_F(Installation, ReadyWindowOffersTheFirstDrive) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  EXPECT_EQ("霁岚舟安装器", WideToUtf8(installer.Text(installer.window())));
  RECT frame;
  GetWindowRect(installer.window(), &frame);
  EXPECT_EQ(560, frame.right - frame.left);
  EXPECT_EQ(420, frame.bottom - frame.top);
  EXPECT_EQ(0, GetWindowLongPtrW(installer.window(), GWL_STYLE) & (WS_THICKFRAME | WS_MAXIMIZEBOX))
      << "the frame can be resized or maximised";
  const auto drives = installer.DriveEntries();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(L"C:\\", drives[0]);
  EXPECT_EQ(0, installer.DriveSelection());
  EXPECT_EQ(L"C:\\Tovarelin", installer.Text(installer.control(IDC_LOCATION_LABEL)));
  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_EQ("开始安装", WideToUtf8(installer.Text(button)));
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ(0, installer.ProgressPosition());
  Sleep(300);  // the first paint
  Shoot(installer);
}

// Over an earlier install that left 霁岚舟.exe at the folder's root: the shortcut takes the
// package's own executable.
TEST_F(Installation, DirectZipLinkWithItsPublishedHashInstallsTheProductAndCleansUp) {
  const std::wstring folder = InstallFolderOn(L'C');
  MakeFolders(folder);
  WriteBytes(folder + L"\\霁岚舟.exe", "MZ earlier install");
  const std::string package = ProductPackage(kVisibleProgressBytes);
  ScriptedServer files(SlowBody(package, 16, 150));
  ScriptedServer parser(HttpResponse::Body("{}"));
  ServeSettings(parser.url(), L"", files.url() + L"/files/Tovarelin.zip", Sha256Hex(package),
                Signature(package));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());

  installer.PressButton();
  ExpectRunning(installer);
  // Every distinct position of the download's run: from a moment after the package host is
  // asked (the bar sweeps before that) up to the end of the run or the first drop.
  ASSERT_TRUE(WaitUntil([&] { return !files.requests().empty(); }));
  Sleep(300);
  std::vector<int> positions;
  bool shotRunning = false;
  EXPECT_TRUE(WaitUntil([&] {
    if (installer.FindMessageBox().window ||
        installer.Text(installer.control(IDC_START_BUTTON)) == L"打开目录")
      return true;
    const int position = installer.ProgressPosition();
    if (!positions.empty() && position < positions.back()) return true;
    if (positions.empty() || positions.back() != position) positions.push_back(position);
    if (!shotRunning && position >= 30 && position < 100) {
      Shoot(installer, "-running");
      shotRunning = true;
    }
    return false;
  }, std::chrono::seconds(90))) << "the download's run did not end";
  const std::string shown = ::testing::PrintToString(positions);
  std::printf("progress shown: %s\n", shown.c_str());
  EXPECT_TRUE(shotRunning) << "the bar never showed a percentage between 30 and 99: " << shown;
  ASSERT_GE(positions.size(), 4u) << "too few steps shown: " << shown;
  EXPECT_GT(positions.front(), 0) << shown;
  EXPECT_LE(positions.front(), 50) << shown;
  EXPECT_GE(positions.back(), 90) << shown;
  EXPECT_LE(positions.back(), 100) << shown;

  ExpectInstalled(installer);
  Shoot(installer);
  ExpectProductInstalledIn(folder, true);
  EXPECT_EQ("MZ earlier install", ReadBytes(folder + L"\\霁岚舟.exe"));
  EXPECT_EQ(std::vector<std::string>{"/api/settings/downloader"}, settings_->targets());
  EXPECT_EQ(std::vector<std::string>{"/files/Tovarelin.zip"}, files.targets());
  EXPECT_TRUE(parser.requests().empty());
}

TEST_F(Installation, ShareLinkIsResolvedThroughTheParser) {
  ScriptedServer files(HttpResponse::Body(ProductPackage()));
  const std::wstring share = files.url() + L"/s/tovarelin";
  const std::string host = Narrow(files.url());
  ScriptedServer parser(HttpResponse::Body(EscapeSlashes(
      "{\"code\":200,\"data\":{\"share\":\"" + Narrow(share) + "\",\"links\":[\"" + host +
      "/dl/page\",\"" + host + "/dl/Tovarelin.zip?sign=1\"]}}")));
  ServeSettings(parser.url(), L"k-123", share, L"", Signature(ProductPackage()));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectInstalled(installer);

  const auto asked = parser.requests();
  ASSERT_EQ(1u, asked.size());
  const std::string port = host.substr(host.rfind(':') + 1);
  EXPECT_EQ("/json/parser?url=http%3A%2F%2F127.0.0.1%3A" + port + "%2Fs%2Ftovarelin",
            asked[0].target);
  EXPECT_EQ("k-123", asked[0].Header("X-API-Key"));
  const auto downloads = files.requests();
  ASSERT_EQ(1u, downloads.size());
  EXPECT_EQ("/dl/Tovarelin.zip?sign=1", downloads[0].target);
  EXPECT_EQ("k-123", downloads[0].Header("X-API-Key"));
  EXPECT_FALSE(settings_->requests()[0].HasHeader("X-API-Key"));
  ExpectProductInstalledIn(InstallFolderOn(L'C'));
}

TEST_F(Installation, ParserDownFallsBackToTheShareLink) {
  ScriptedServer files(HttpResponse::Body(ProductPackage()));
  ServeSettings(ClosedPortUrl(), L"k", files.url() + L"/s/tovarelin", L"",
                Signature(ProductPackage()));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectInstalled(installer);
  EXPECT_EQ(std::vector<std::string>{"/s/tovarelin"}, files.targets());
  ExpectProductInstalledIn(InstallFolderOn(L'C'));
}

TEST_F(Installation, ParserErrorFallsBackToTheShareLink) {
  ScriptedServer files(HttpResponse::Body(ProductPackage()));
  ScriptedServer parser(HttpResponse::Body("{\"url\":\"http://127.0.0.1:1/never.zip\"}", 500));
  ServeSettings(parser.url(), L"k", files.url() + L"/s/tovarelin", L"",
                Signature(ProductPackage()));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectInstalled(installer);
  EXPECT_EQ(std::vector<std::string>{"/s/tovarelin"}, files.targets());
  EXPECT_EQ(1u, parser.requests().size());
  ExpectProductInstalledIn(InstallFolderOn(L'C'));
}

// The wineserver's trace shows what the installer asks Windows for its folder: the first run makes
// it in one call with the protected DACL, before anything below it; the second replaces the DACL
// it finds (Wine keeps none, so the one read back is never ours) before it downloads. Wine's
// SetNamedSecurityInfoW sends the parent's inheritable entries after ours, marked inherited (13);
// Windows adds none to a protected DACL.
TEST_F(Installation, HtmlInsteadOfZipIsRefusedThenASecondPressSucceeds) {
  const std::string page = "<html><body>share page</body></html>";
  ScriptedServer& files = ServePackage(HttpResponse::Body(page));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  const size_t firstRun = ServerTrace().size();
  installer.PressButton();
  ExpectFailure(installer, L"下载的安装包不是 zip 压缩包");
  const std::wstring downloads = InstallFolderOn(L'C') + L"\\_download";
  EXPECT_EQ(page, ReadBytes(downloads + L"\\Tovarelin.zip"));

  // The second run deletes the first one's package before it downloads its own.
  const std::string package = ProductPackage(kVisibleProgressBytes);
  files.Answer(SlowBody(package, 8, 150));
  settings_->Answer(HttpResponse::Body(SettingsJson(
      ClosedPortUrl(), L"", files.url() + L"/files/Tovarelin.zip", L"", Signature(package))));
  const size_t secondRun = ServerTrace().size();
  installer.PressButton();
  EXPECT_TRUE(WaitUntil([&] { return ReadBytes(downloads + L"\\Tovarelin.zip") != page; }))
      << "the first package stayed";
  ExpectInstalled(installer);
  EXPECT_EQ(2u, files.requests().size());
  EXPECT_EQ(2u, settings_->requests().size());
  EXPECT_FALSE(PathExists(downloads)) << "the second run's package took another name";
  EXPECT_TRUE(PathExists(ProductExeIn(InstallFolderOn(L'C'))));

  const std::string trace = ServerTrace(), dacl = FolderDaclInTrace();
  const std::string folder = R"(name=L"\\??\\C:\\Tovarelin")";
  const size_t made = trace.find(folder + "}", firstRun);
  ASSERT_LT(made, secondRun) << "no trace of the folder's creation (TOVARELIN_SERVER_TRACE)";
  const std::string creation = LineAt(trace, made);
  EXPECT_TRUE(Holds(creation, {"create_file(", "create=2,", "control=00001004,", dacl + "}}"}))
      << creation;
  EXPECT_GT(trace.find(R"(name=L"\\??\\C:\\Tovarelin\\)", firstRun), made);
  const size_t replaced = trace.find("set_security_object(", secondRun);
  ASSERT_LT(replaced, trace.size());
  const std::string set = LineAt(trace, replaced);
  EXPECT_TRUE(Holds(set, {"security_info=80000004,", dacl})) << set;
  // On a handle that the same thread opened for the folder.
  const std::string thread = "\n" + set.substr(0, set.find(' '));
  const size_t opened = trace.rfind(
      thread + " create_file() = 0 { " + set.substr(set.find("handle="), 11) + " }", replaced);
  const std::string request = LineAt(trace, trace.rfind(thread + " ", opened - 1) + 1);
  EXPECT_TRUE(Holds(request, {"create_file(", folder + "}"})) << request;
  size_t download = secondRun;  // the download's file, made after
  while ((download = trace.find(R"(\\_download\\Tovarelin.zip")", download + 1)) < trace.size() &&
         !Holds(LineAt(trace, download), {"create=5,"})) {}
  EXPECT_LT(replaced, download);
  EXPECT_LT(download, trace.size());
}

// Ended by its id mid-download, as the task manager ends it: the next start asks for the rest.
TEST_F(Installation, TheNextStartContinuesTheDownloadOfAnInstallerThatWasEnded) {
  const std::string package = ProductPackage(4 << 20);  // more than a write's 256 KiB
  HttpResponse slow = SlowBody(package, 16, 150);
  slow.headers = {{"ETag", "\"1\""}};
  ScriptedServer& files = ServePackage(slow, Sha256Hex(package));
  {
    InstallerProcess ended;
    ASSERT_TRUE(ended.window());
    ended.PressButton();
    ASSERT_TRUE(WaitUntil([&] { return ended.ProgressPosition() >= 40; }));
  }
  const std::wstring folder = InstallFolderOn(L'C');
  const size_t kept = ReadBytes(folder + L"\\_download\\Tovarelin.zip").size();
  InstallerProcess next;
  ASSERT_TRUE(next.window());
  next.PressButton();
  ExpectInstalled(next);
  ExpectProductInstalledIn(folder, true);
  EXPECT_EQ("bytes=" + std::to_string(kept) + "-", files.requests().back().Header("Range"));
}

// By the installer built without a key, which asks nothing of the signature: none is published.
TEST_F(Installation, AnotherDriveIsUsedWhenChosen) {
  const std::wstring none;
  ServePackage(HttpResponse::Body(ProductPackage()), L"", &none);
  InstallerProcess installer(TestProgramFolder() + L"\\TovarelinInstallerWithoutKey.exe");
  ASSERT_TRUE(installer.window());
  ASSERT_TRUE(installer.SelectDrive(L"D:\\")) << "the prefix maps D: as a fixed drive";
  EXPECT_EQ(L"D:\\Tovarelin", installer.Text(installer.control(IDC_LOCATION_LABEL)));

  installer.PressButton();
  ExpectInstalled(installer);
  Shoot(installer);
  ExpectProductInstalledIn(InstallFolderOn(L'D'));
  EXPECT_FALSE(PathExists(InstallFolderOn(L'C')));
}

TEST_F(Installation, PressAfterSuccessOpensTheFolderAndStartsNoSecondRun) {
  ScriptedServer& files = ServePackage(HttpResponse::Body(ProductPackage()));
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectInstalled(installer);
  ASSERT_EQ(nullptr, FindVisibleWindow(kExplorerClass)) << "a folder window was open before";

  installer.PressButton();
  HWND folderWindow = nullptr;
  EXPECT_TRUE(WaitUntil([&] {
    return (folderWindow = FindVisibleWindow(kExplorerClass)) != nullptr;
  })) << "no folder window appeared";
  if (folderWindow) {
    EXPECT_EQ(L"Tovarelin", installer.Text(folderWindow));
    EndProcessOf(folderWindow);
  }
  Sleep(500);
  EXPECT_EQ(nullptr, installer.FindMessageBox().window);
  EXPECT_EQ(1u, settings_->requests().size());
  EXPECT_EQ(1u, files.requests().size());
  EXPECT_EQ("打开目录", WideToUtf8(installer.Text(installer.control(IDC_START_BUTTON))));
  EXPECT_EQ(100, installer.ProgressPosition());
}
