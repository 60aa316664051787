#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "app/shared_state.h"
#include "app/utf8.h"
#include "install/install_worker.h"
#include "install/package_hash.h"
#include "support/files.h"

namespace {

// What the fake stages saw and are told to do; the stages are plain function pointers.
struct Script {
  std::string packageBytes = "PK\x03\x04rest";
  bool settingsFail = false;
  bool extractResult = true;
  int foundAtAttempt = 1;  // 0: never
  std::string shortcutError;
  std::wstring executableRelative = L"bin\\霁岚舟.exe";
  std::wstring packageSha256;

  std::wstring downloadFolderSeen;
  std::wstring extractedInto;
  int findCalls = 0;
  std::vector<DWORD> pauses;
  std::wstring shortcutTarget, shortcutFolder;
};
Script* g_script = nullptr;

DownloaderSettings FakeSettings() {
  if (g_script->settingsFail) throw std::runtime_error("网络请求失败");
  return {L"https://parser", L"key", L"https://host/p.zip", g_script->packageSha256};
}
std::wstring FakeDownload(const DownloaderSettings& settings, const std::wstring& folder) {
  EXPECT_EQ(L"https://host/p.zip", settings.download_url);
  g_script->downloadFolderSeen = folder;
  WriteBytes(folder + L"\\Tovarelin.zip", g_script->packageBytes);
  return folder + L"\\Tovarelin.zip";
}
bool FakeExtract(const std::wstring&, const std::wstring& destination) {
  g_script->extractedInto = destination;
  return g_script->extractResult;
}
std::wstring FakeFind(const std::wstring& folder) {
  ++g_script->findCalls;
  if (g_script->findCalls != g_script->foundAtAttempt) return {};
  return folder + L"\\" + g_script->executableRelative;
}
void FakeShortcut(const std::wstring& target, const std::wstring& folder) {
  if (!g_script->shortcutError.empty()) throw std::runtime_error(g_script->shortcutError);
  g_script->shortcutTarget = target;
  g_script->shortcutFolder = folder;
}
void FakePause(DWORD ms) { g_script->pauses.push_back(ms); }

const InstallSteps kFakeSteps = {FakeSettings, FakeDownload, FakeExtract,
                                 FakeFind,     FakeShortcut, FakePause};

struct DoneMessage {
  WPARAM wParam;
  std::unique_ptr<char[]> text;
};

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_script = &script_;
    g_mainWindow = CreateWindowExW(0, L"Static", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   nullptr, nullptr);
    g_driveCombo = nullptr;  // CB_GETCURSEL then answers 0: the first drive
    g_installDrives = {drive_.path() + L"\\"};
    g_installedFolder.clear();
  }
  void TearDown() override {
    DestroyWindow(g_mainWindow);
    g_script = nullptr;
  }

  // Runs the worker and collects every WM_INSTALL_DONE it posted.
  std::vector<DoneMessage> Run() {
    RunInstallWorker(kFakeSteps);
    std::vector<DoneMessage> done;
    MSG message;
    while (PeekMessageW(&message, g_mainWindow, WM_INSTALL_DONE, WM_INSTALL_DONE, PM_REMOVE))
      done.push_back({message.wParam, std::unique_ptr<char[]>(reinterpret_cast<char*>(message.lParam))});
    return done;
  }

  void ExpectFailure(const char* text) {
    const auto done = Run();
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(0u, done[0].wParam);
    ASSERT_NE(nullptr, done[0].text);
    EXPECT_STREQ(text, done[0].text.get());
    EXPECT_TRUE(g_installedFolder.empty());
  }

  std::wstring InstallFolder() const { return drive_ / L"Tovarelin"; }

  Script script_;
  TempFolder drive_;
};

}  // namespace

TEST_F(InstallWorkerTest, SuccessfulRunCleansUpAndPublishesTheFolder) {
  script_.foundAtAttempt = 4;
  const auto done = Run();
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(1u, done[0].wParam);
  EXPECT_EQ(nullptr, done[0].text);

  EXPECT_EQ(InstallFolder() + L"\\_download", script_.downloadFolderSeen);
  EXPECT_EQ(InstallFolder(), script_.extractedInto);
  EXPECT_EQ(std::vector<DWORD>(3, 500), script_.pauses);  // found at attempt k: k - 1 pauses
  EXPECT_EQ(InstallFolder() + L"\\bin\\霁岚舟.exe", script_.shortcutTarget);
  EXPECT_EQ(InstallFolder() + L"\\bin", script_.shortcutFolder);
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  EXPECT_TRUE(PathExists(InstallFolder()));
  EXPECT_EQ(InstallFolder(), g_installedFolder);
}

TEST_F(InstallWorkerTest, DownloadFolderStaysWhenSomethingElseIsInIt) {
  MakeFolders(InstallFolder() + L"\\_download");
  WriteBytes(InstallFolder() + L"\\_download\\other.txt", "x");
  const auto done = Run();
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(1u, done[0].wParam);
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  EXPECT_TRUE(PathExists(InstallFolder() + L"\\_download\\other.txt"));
}

TEST_F(InstallWorkerTest, SettingsFailureReportsItsTextAndCreatesNothing) {
  script_.settingsFail = true;
  ExpectFailure("网络请求失败");
  EXPECT_FALSE(PathExists(InstallFolder()));
}

TEST_F(InstallWorkerTest, PackageThatIsNotAZipIsRefusedAndLeftInPlace) {
  for (const std::string bytes : {"", "P", "PZ..", "<html>"}) {
    script_.packageBytes = bytes;
    script_.extractedInto.clear();
    ExpectFailure("下载的安装包不是 zip 压缩包");
    EXPECT_TRUE(script_.extractedInto.empty());
    EXPECT_TRUE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  }
}

TEST_F(InstallWorkerTest, PublishedHashIsCheckedBeforeExtractionAndAMismatchRemovesThePackage) {
  // SHA-256 of the default package bytes, from Python's hashlib; either case is accepted.
  script_.packageSha256 = L"5F0ADDA0305AB987986E189AD4A8E190c75559e27aa62bb58122667879199678";
  ASSERT_EQ(1u, Run().size());
  EXPECT_EQ(InstallFolder(), g_installedFolder);

  g_installedFolder.clear();
  script_.extractedInto.clear();
  script_.packageBytes += "x";
  ExpectFailure("安装包校验失败");
  EXPECT_TRUE(script_.extractedInto.empty());
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));

  script_.packageSha256.pop_back();  // malformed: refused before anything is downloaded
  script_.downloadFolderSeen.clear();
  ExpectFailure("安装包校验失败");
  EXPECT_TRUE(script_.downloadFolderSeen.empty());
}

TEST_F(InstallWorkerTest, ExtractionFailureIsReported) {
  script_.extractResult = false;
  ExpectFailure("解压安装包失败");
  EXPECT_EQ(0, script_.findCalls);
}

TEST_F(InstallWorkerTest, SearchGivesUpAfter600AttemptsAnd600Pauses) {
  script_.foundAtAttempt = 0;
  ExpectFailure("安装包内未找到 霁岚舟.exe");
  EXPECT_EQ(600, script_.findCalls);
  EXPECT_EQ(std::vector<DWORD>(600, 500), script_.pauses);
  EXPECT_TRUE(script_.shortcutTarget.empty());
}

TEST_F(InstallWorkerTest, ShortcutFailureLeavesThePackageAndReportsItsText) {
  script_.shortcutError = "保存桌面快捷方式失败";
  ExpectFailure("保存桌面快捷方式失败");
  EXPECT_TRUE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
}

TEST_F(InstallWorkerTest, AnExceptionWithoutTextStillReportsAFailure) {
  struct Silent : std::exception {
    const char* what() const noexcept override { return ""; }
  };
  static const InstallSteps silentSteps = {
      FakeSettings, FakeDownload, FakeExtract, FakeFind,
      [](const std::wstring&, const std::wstring&) { throw Silent(); }, FakePause};
  RunInstallWorker(silentSteps);
  MSG message;
  ASSERT_TRUE(PeekMessageW(&message, g_mainWindow, WM_INSTALL_DONE, WM_INSTALL_DONE, PM_REMOVE));
  std::unique_ptr<char[]> text(reinterpret_cast<char*>(message.lParam));
  EXPECT_EQ(0u, message.wParam);
  ASSERT_NE(nullptr, text);
  EXPECT_STREQ("安装失败", text.get());
}

TEST(WaitForExecutable, PausesOnlyAfterEmptyResults) {
  for (int foundAt : {1, 2, 7}) {
    int calls = 0, pauses = 0;
    const std::wstring path = WaitForExecutable(
        [&] { return ++calls == foundAt ? std::wstring(L"x") : std::wstring(); },
        [&] { ++pauses; }, 600);
    EXPECT_EQ(L"x", path);
    EXPECT_EQ(foundAt, calls);
    EXPECT_EQ(foundAt - 1, pauses);
  }
}

TEST(PackageSha256, PublishedValueIsSixtyFourHexDigitsOrAbsentWhenAllowed) {
  const std::wstring digits = L"0123456789abcdefABCDEF" + std::wstring(42, L'9');
  const struct {
    std::wstring value;
    bool required, accepted;
  } cases[] = {{L"", false, true},          {L"", true, false},
               {digits, true, true},        {digits.substr(1), false, false},
               {digits + L"0", false, false}, {L"g" + digits.substr(1), false, false},
               {L" " + digits.substr(1), false, false}};
  for (const auto& c : cases) {
    bool accepted = true;
    try {
      CheckPublishedSha256(c.value, c.required);
    } catch (const std::runtime_error& e) {
      accepted = false;
      EXPECT_STREQ("安装包校验失败", e.what());
    }
    EXPECT_EQ(c.accepted, accepted) << WideToUtf8(c.value) << " required " << c.required;
  }
}

TEST(PackageSha256, FileDigestMatchesKnownValuesOverSeveralReads) {
  std::string large(3 * 1024 * 1024 + 5, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  const std::pair<std::string, std::wstring> cases[] = {  // digests from Python's hashlib
      {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {large, L"b01669d77761c4dfdfc8fb927821087bcf5c9ef1f917c4f1f8504e529f19edab"}};
  TempFolder folder;
  for (const auto& [bytes, hex] : cases) {
    WriteBytes(folder / L"package.zip", bytes);
    EXPECT_EQ(ParseSha256Hex(hex), FileSha256(folder / L"package.zip")) << bytes.size();
  }
  EXPECT_FALSE(FileSha256(folder / L"missing.zip"));
}

TEST(WorkingFolder, IsTheFolderBeforeTheLastSeparator) {
  EXPECT_EQ(L"C:\\Tovarelin", WorkingFolderFor(L"C:\\Tovarelin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\bin", WorkingFolderFor(L"C:\\Tovarelin\\bin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\a/b", WorkingFolderFor(L"C:\\Tovarelin\\a/b/霁岚舟.exe", L"I"));
  EXPECT_EQ(L"I", WorkingFolderFor(L"霁岚舟.exe", L"I"));
}
