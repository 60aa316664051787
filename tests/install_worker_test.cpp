#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <stdexcept>
#include <vector>

#include "common/shared_state.h"
#include "common/handles.h"
#include "install/find_executable.h"
#include "install/install_worker_internal.h"
#include "install/zip_names.h"
#include "support/files.h"
#include "support/stand_in_window.h"
#include "support/threads.h"
#include "support/zip_builder.h"

namespace {

// The package's tree, its executable first. The last name is unflagged UTF-8, as Info-ZIP
// writes it; the fake shell writes it under its OEM spelling.
const struct {
  const char* name;
  const char* data;  // null for a folder
  bool utf8;
} kTree[] = {{"bin/霁岚舟.exe", "MZ product", true},
             {"bin/app.dll", "library", false},
             {"data/", nullptr, false},
             {"说明/readme.txt", "read me", false}};

std::string Package() {
  ZipBuilder zip;
  for (const auto& item : kTree) {
    ZipEntry entry = item.data ? ZipEntry::File(item.name, item.data) : ZipEntry::Folder(item.name);
    zip.Add(item.utf8 ? entry.Utf8() : entry);
  }
  return zip.Finish();
}

std::wstring Landed(const std::wstring& destination, size_t index) {
  const auto& item = kTree[index];
  const std::wstring name = EntryNameSpellings(item.name, item.utf8).back();
  return destination + L"\\" + SafeEntryPath(name)->relative;
}

// How the fake extraction writes the tree: our reader at once, or the shell's copy on a
// thread of its own after the extraction has returned.
enum class Copy { kFails, kOurReader, kNever, kWhole, kHalf, kOneByteShort, kWrongBytes };

// The executable first, then the rest with pauses; the package is held a while after the last.
void CopyLikeTheShell(std::wstring package, std::wstring destination, Copy mode) {
  FileHandle held(CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  const size_t count = mode == Copy::kHalf ? 2 : std::size(kTree);
  for (size_t i = 0; i < count; ++i, Sleep(5)) {
    const std::wstring path = Landed(destination, i);
    MakeFolders(kTree[i].data ? path.substr(0, path.rfind(L'\\')) : path);
    if (!kTree[i].data) continue;
    std::string data = kTree[i].data;
    if (i + 1 == std::size(kTree) && mode == Copy::kOneByteShort) data.pop_back();
    if (i + 1 == std::size(kTree) && mode == Copy::kWrongBytes) data[0] ^= 1;
    WriteBytes(path, data);
  }
  Sleep(200);
}

// What the fake stages saw and are told to do; the stages are plain function pointers.
struct Script {
  std::string packageBytes = Package();
  bool settingsFail = false;
  Copy copy = Copy::kOurReader;
  DWORD realPauseMs = 0;
  std::string shortcutError;
  std::wstring packageSha256;

  std::wstring downloadFolderSeen;
  std::wstring extractedInto;
  std::optional<Thread> copier;
  std::vector<DWORD> pauses;
  std::wstring shortcutTarget, shortcutFolder;
  std::string lastFileAtShortcut;
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
Extraction FakeExtract(const std::wstring& package, const std::wstring& destination) {
  g_script->extractedInto = destination;
  switch (g_script->copy) {
    case Copy::kFails:
      return Extraction::kFailed;
    case Copy::kOurReader:  // it checked what it wrote: the rest is left out to show no re-reading
      MakeFolders(destination + L"\\bin");
      WriteBytes(Landed(destination, 0), kTree[0].data);
      return Extraction::kExtractedAndChecked;
    case Copy::kNever:
      return Extraction::kHandedToShell;
    default:
      g_script->copier.emplace(
          [=, mode = g_script->copy] { CopyLikeTheShell(package, destination, mode); });
      return Extraction::kHandedToShell;
  }
}
void FakeShortcut(const std::wstring& target, const std::wstring& folder) {
  if (!g_script->shortcutError.empty()) throw std::runtime_error(g_script->shortcutError);
  g_script->shortcutTarget = target;
  g_script->shortcutFolder = folder;
  g_script->lastFileAtShortcut = ReadBytes(Landed(g_script->extractedInto, std::size(kTree) - 1));
}
void FakePause(DWORD ms) {
  g_script->pauses.push_back(ms);
  Sleep(g_script->realPauseMs);
}

const InstallSteps kFakeSteps = {FakeSettings, FakeDownload, FakeExtract, FindProductExecutable,
                                 FakeShortcut, FakePause,    kSearchAttempts};

class InstallWorkerTest : public ::testing::Test {
 protected:
  void SetUp() override { g_script = &script_; }
  void TearDown() override {
    script_.copier.reset();  // waits for the copy's end
    g_script = nullptr;
  }

  // Runs the worker and collects every WM_INSTALL_DONE it posted.
  std::vector<DoneMessage> Run(const InstallSteps& steps = kFakeSteps) {
    RunInstallWorker(steps);
    return window_.TakeDone();
  }

  void ExpectFailure(const char* text, const InstallSteps& steps = kFakeSteps) {
    const auto done = Run(steps);
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(0u, done[0].wParam);
    ASSERT_NE(nullptr, done[0].text);
    EXPECT_STREQ(text, done[0].text.get());
    EXPECT_TRUE(g_installedFolder.empty());
  }

  std::wstring InstallFolder() const { return drive_ / L"Tovarelin"; }

  Script script_;
  TempFolder drive_;
  StandInWindow window_{drive_.path() + L"\\"};
};

}  // namespace

TEST_F(InstallWorkerTest, SucceedsOnceTheShellsCopyHasLandedAndCleansUpAfterIt) {
  script_.copy = Copy::kWhole;
  script_.realPauseMs = 10;
  const auto done = Run();
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(1u, done[0].wParam);
  EXPECT_EQ(nullptr, done[0].text);

  EXPECT_EQ("read me", script_.lastFileAtShortcut);  // the last file had landed whole
  EXPECT_EQ(std::vector<DWORD>(script_.pauses.size(), 500), script_.pauses);
  EXPECT_EQ(InstallFolder() + L"\\_download", script_.downloadFolderSeen);
  EXPECT_EQ(InstallFolder(), script_.extractedInto);
  EXPECT_EQ(InstallFolder() + L"\\bin\\霁岚舟.exe", script_.shortcutTarget);
  EXPECT_EQ(InstallFolder() + L"\\bin", script_.shortcutFolder);
  // Deleted although the copy held it for a while after its last file.
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  EXPECT_EQ(InstallFolder(), g_installedFolder);
}

TEST_F(InstallWorkerTest, DownloadFolderStaysWhenSomethingElseIsInIt) {
  MakeFolders(InstallFolder() + L"\\_download");
  WriteBytes(InstallFolder() + L"\\_download\\other.txt", "x");
  const auto done = Run();
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(1u, done[0].wParam);
  EXPECT_TRUE(script_.pauses.empty());  // what our reader wrote and checked is not read back
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

TEST_F(InstallWorkerTest, MalformedPublishedHashFailsBeforeTheDownload) {
  script_.packageSha256 = std::wstring(63, L'a');
  ExpectFailure("安装包校验失败");
  EXPECT_TRUE(script_.downloadFolderSeen.empty());
}

TEST_F(InstallWorkerTest, ExtractionThatFailsOrNeverLandsIsReportedWithin600PausesOf500Ms) {
  for (Copy copy : {Copy::kFails, Copy::kNever}) {
    script_.copy = copy;
    script_.pauses.clear();
    ExpectFailure("解压安装包失败");
    EXPECT_EQ(std::vector<DWORD>(copy == Copy::kNever ? 600 : 0, 500), script_.pauses);
  }
}

TEST_F(InstallWorkerTest, ACopyThatStopsOrWritesAFileWrongIsNotASuccess) {
  InstallSteps shortBudget = kFakeSteps;
  shortBudget.attempts = 20;
  script_.realPauseMs = 20;
  for (Copy copy : {Copy::kHalf, Copy::kOneByteShort, Copy::kWrongBytes}) {
    RemoveTree(InstallFolder());
    script_.copy = copy;
    script_.pauses.clear();
    ExpectFailure("解压安装包失败", shortBudget);
    script_.copier.reset();
    EXPECT_EQ(std::vector<DWORD>(20, 500), script_.pauses);
    EXPECT_TRUE(script_.shortcutTarget.empty());
    EXPECT_TRUE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  }
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
      FakeSettings, FakeDownload, FakeExtract, FindProductExecutable,
      [](const std::wstring&, const std::wstring&) { throw Silent(); }, FakePause, kSearchAttempts};
  const auto done = Run(silentSteps);
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(0u, done[0].wParam);
  EXPECT_EQ(nullptr, done[0].text) << "the window shows its own text";
}

TEST(WaitBudget, PausesOnlyAfterMissesAndSharesItsAttemptsAcrossWaits) {
  int calls = 0, pauses = 0;
  WaitBudget budget(10, [&] { ++pauses; });
  EXPECT_TRUE(budget.WaitFor([&] { return ++calls == 7; }));
  EXPECT_EQ(6, pauses);
  EXPECT_FALSE(budget.WaitFor([] { return false; }));
  EXPECT_EQ(10, pauses);
}

TEST(WorkingFolder, IsTheFolderBeforeTheLastSeparator) {
  EXPECT_EQ(L"C:\\Tovarelin", WorkingFolderFor(L"C:\\Tovarelin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\bin", WorkingFolderFor(L"C:\\Tovarelin\\bin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\a/b", WorkingFolderFor(L"C:\\Tovarelin\\a/b/霁岚舟.exe", L"I"));
  EXPECT_EQ(L"I", WorkingFolderFor(L"霁岚舟.exe", L"I"));
}
