#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <utility>
#include <vector>

#include "common/code_pages.h"
#include "common/constants.h"
#include "common/failure.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "common/shared_state.h"
#include "common/wait.h"
#include "install/extract.h"
#include "install/find_executable.h"
#include "install/folder_permissions_internal.h"
#include "install/install_worker_internal.h"
#include "support/files.h"
#include "support/install_scenario.h"
#include "support/signature_text.h"
#include "support/signing.h"
#include "support/stand_in_window.h"
#include "support/threads.h"
#include "support/window_driver.h"
#include "support/windows_moves.h"
#include "support/zip_builder.h"
#include "zip/zip_names.h"

namespace {

constexpr char kInUseText[] = "安装目录中有文件正在使用，请关闭霁岚舟后重试";

// The package's tree, its executable first, files deflated. The last name is unflagged UTF-8,
// as Info-ZIP writes it; the fake shell writes it under its OEM spelling.
const struct {
  const char* name;
  const char* data;  // null for a folder
  bool utf8;
} kTree[] = {{"bin/霁岚舟.exe", "MZ product", true},
             {"bin/app.dll", "library", false},
             {"data/", nullptr, false},
             {"data/deep/more.txt", "more", false},
             {"logs/", nullptr, false},
             {"说明/readme.txt", "read me", false}};

// Each file's data with the version after it: every file changes from one version to the next.
std::string Package(const std::string& version = "", const std::vector<ZipEntry>& more = {}) {
  ZipBuilder zip;
  for (const auto& item : kTree) {
    ZipEntry entry = item.data ? ZipEntry::File(item.name, item.data + version).Deflated()
                               : ZipEntry::Folder(item.name);
    zip.Add(item.utf8 ? entry.Utf8() : entry);
  }
  for (const ZipEntry& entry : more) zip.Add(entry);
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

// A process ended by the task manager or a power cut: the run stops where it is.
struct ProcessEnded {};

// The executable first, then the rest, each file a byte at a time; before each item it calls
// back into the shell's object in the worker's apartment when given a way to. The package is
// held a while after the last item.
void CopyLikeTheShell(std::wstring package, std::wstring destination, Copy mode,
                      std::string version, DWORD byteMs, IStream* shellObject,
                      std::atomic<int>* callsServed, ULONGLONG* lastWrite) {
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  {
    ComPtr<IDispatch> shell;
    if (shellObject) CoGetInterfaceAndReleaseStream(shellObject, IID_IDispatch, shell.put_void());
    FileHandle held(CreateFileW(package.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr));
    const size_t count = mode == Copy::kHalf ? 2 : std::size(kTree);
    for (size_t i = 0; i < count; ++i, Sleep(5)) {
      UINT unused;
      if (shell && SUCCEEDED(shell->GetTypeInfoCount(&unused))) ++*callsServed;
      const std::wstring path = Landed(destination, i);
      MakeFolders(kTree[i].data ? path.substr(0, path.rfind(L'\\')) : path);
      if (!kTree[i].data) continue;
      std::string data = kTree[i].data + version;
      if (i + 1 == std::size(kTree) && mode == Copy::kOneByteShort) data.pop_back();
      if (i + 1 == std::size(kTree) && mode == Copy::kWrongBytes) data[0] ^= 1;
      FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, 0, nullptr));
      DWORD written = 0;
      for (size_t at = 0; at < data.size(); Sleep(++at < data.size() ? byteMs : 0))
        WriteFile(file.get(), &data[at], 1, &written, nullptr);
      file.reset();
      *lastWrite = GetTickCount64();
    }
    Sleep(200);
    shell.reset();  // a call into the worker's apartment too, served while it waits on the package
  }
  CoUninitialize();
}

// Something another program holds open through a reinstall (see HeldOpen): in the installed
// tree from the start, or in the staged tree from each switch's first rename.
struct Held {
  const char* what;
  const wchar_t* path;  // below the installation folder, or the staging folder
  DWORD share;          // 0: a process stands in the folder
  bool staged;
};
void PrintTo(const Held& held, std::ostream* out) { *out << held.what; }

// What the fake stages saw and are told to do; the stages are plain function pointers.
struct Script {
  std::string version;  // of the files in the package
  std::string packageBytes = Package();
  bool settingsFail = false;
  bool downloadFails = false;
  size_t failMove = 0;   // this rename, and every try again of it, fails as a file in use
  size_t endAfterMove = 0;  // the process ends right after this rename
  Copy copy = Copy::kOurReader;
  DWORD copyByteMs = 0;
  bool copyCallsBack = false;
  DWORD realPauseMs = 0;
  DWORD scannerHoldsPackageMs = 0;
  std::string shortcutError;
  std::wstring packageSha256;
  std::optional<std::wstring> packageSignature;  // none: the publisher's, of packageBytes
  std::string downloadedBytes;  // what arrives instead of packageBytes, when not empty
  std::wstring link = L"https://host/p.zip";
  std::wstring ownedByAnother;  // the path whose owner reads as another account's
  bool protectRefused = false;

  std::wstring downloadFolderSeen;
  std::wstring extractedInto;
  std::optional<Thread> copier;
  std::atomic<int> callsServed{0};
  ULONGLONG lastWrite = 0, shortcutAt = 0;
  FileHandle scannerHold;
  std::optional<Thread> scanner;  // joined before the handle it releases goes
  std::vector<DWORD> pauses;
  size_t moves = 0, fileMoves = 0;
  std::wstring failing;
  Held stagedHold{};
  bool switchStarts = false;
  std::optional<HeldOpen> held;
  std::wstring shortcutTarget, shortcutFolder;
  std::string lastFileAtShortcut;
  std::wstring protectedFolder;
};
Script* g_script = nullptr;

SecurityDescriptor FromSddl(const std::wstring& sddl) {
  PSECURITY_DESCRIPTOR made = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &made, {});
  return SecurityDescriptor(made);
}

DownloaderSettings FakeSettings() {
  const Script& script = *g_script;
  if (script.stagedHold.staged) g_script->held.reset();  // let go since the last run
  if (script.settingsFail) Fail("网络请求失败");
  return {L"https://parser", L"key", script.link, script.packageSha256,
          script.packageSignature.value_or(PackageSigner().Sign(script.packageBytes))};
}
DownloadedPackage FakeDownload(const DownloaderSettings& settings, const std::wstring& folder,
                               bool) {
  EXPECT_EQ(L"https://host/p.zip", settings.download_url);
  if (g_script->downloadFails) Fail("网络请求失败");
  g_script->downloadFolderSeen = folder;
  DeletePackage(folder + L"\\" + kPackageName);  // none of them continued
  // The first free name, as the download picks it.
  std::wstring package = folder + L"\\Tovarelin.zip";
  if (PathExists(package)) package = folder + L"\\Tovarelin (1).zip";
  const std::string& bytes =
      g_script->downloadedBytes.empty() ? g_script->packageBytes : g_script->downloadedBytes;
  WriteBytes(package, bytes);
  if (g_script->scannerHoldsPackageMs) {
    g_script->scannerHold = HoldUnshared(package);
    g_script->scanner.emplace([] {
      Sleep(g_script->scannerHoldsPackageMs);
      g_script->scannerHold.reset();
    });
  }
  return {package, Sha256Of(bytes)};
}
Extraction FakeExtract(const std::wstring& package, const std::wstring& destination,
                       const WrittenBytes& written) {
  g_script->extractedInto = destination;
  g_script->switchStarts = true;
  switch (g_script->copy) {
    case Copy::kFails:
      return {};
    case Copy::kOurReader:
      if (!ExtractZipArchive(package, destination, written)) return {};
      return {Extraction::kExtractedAndChecked, nullptr};
    case Copy::kNever:
      return {Extraction::kHandedToShell, nullptr};
    default: {
      // As the shell's copy does, it may call into the objects it was handed.
      auto shell = std::make_unique<ShellCopy>();
      IStream* shellObject = nullptr;
      if (g_script->copyCallsBack &&
          SUCCEEDED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellDispatch, shell->shell.put_void())))
        CoMarshalInterThreadInterfaceInStream(IID_IDispatch, shell->shell.get(), &shellObject);
      g_script->copier.emplace([=, mode = g_script->copy, version = g_script->version,
                                byteMs = g_script->copyByteMs] {
        CopyLikeTheShell(package, destination, mode, version, byteMs, shellObject,
                         &g_script->callsServed, &g_script->lastWrite);
      });
      return {Extraction::kHandedToShell, std::move(shell)};
    }
  }
}
std::wstring InstallFolderOf(const std::wstring& executable) {
  return executable.substr(0, executable.rfind(L"\\bin\\"));
}
void FakeShortcut(const std::wstring& target, const std::wstring& folder) {
  if (!g_script->shortcutError.empty()) Fail(g_script->shortcutError.c_str());
  g_script->shortcutAt = GetTickCount64();
  g_script->shortcutTarget = target;
  g_script->shortcutFolder = folder;
  g_script->lastFileAtShortcut = ReadBytes(Landed(InstallFolderOf(target), std::size(kTree) - 1));
}
bool FakeMove(const std::wstring& from, const std::wstring& to) {
  Script& script = *g_script;
  if (std::exchange(script.switchStarts, false) && script.stagedHold.staged) {
    EXPECT_TRUE(script.held.emplace(script.extractedInto + L"\\" + script.stagedHold.path,
                                    script.stagedHold.share));
  }
  ++script.moves;
  if (!IsFolder(from) && ++script.fileMoves == script.failMove) script.failing = from;
  if (!script.failing.empty() && from == script.failing) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  const bool moved = MoveAsWindows(from, to);
  if (script.moves == script.endAfterMove) throw ProcessEnded();
  return moved;
}
// Under Wine every owner is the running account: another's is played here.
SecurityDescriptor FakeReadSecurity(const std::wstring& path) {
  return path == g_script->ownedByAnother ? FromSddl(L"O:S-1-5-21-7-7-7-1001")
                                          : ReadItemSecurity(path);
}
bool FakeProtect(const std::wstring& folder, PACL dacl) {
  g_script->protectedFolder = folder;
  return !g_script->protectRefused && ProtectFolder(folder, dacl);
}
void FakePause(DWORD ms) {
  g_script->pauses.push_back(ms);
  PauseDispatching(g_script->realPauseMs);
}

const InstallSteps kFakeSteps = {FakeSettings, FakeDownload, FakeExtract, FindProductExecutable,
                                 FakeShortcut, FakeMove, {FakeReadSecurity, FakeProtect},
                                 FakePause,    kSearchAttempts, kPackagePublicKey};

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
    script_.copier.reset();
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(0u, done[0].wParam);
    ASSERT_NE(nullptr, done[0].text);
    EXPECT_STREQ(text, done[0].text.get());
    EXPECT_TRUE(g_installedFolder.empty());
  }

  // A success, after which the stand-in window may start another run.
  void ExpectSuccess(const InstallSteps& steps = kFakeSteps) {
    const auto done = Run(steps);
    script_.copier.reset();
    ASSERT_EQ(1u, done.size());
    EXPECT_EQ(1u, done[0].wParam) << (done[0].text ? done[0].text.get() : "");
    EXPECT_EQ(InstallFolder(), g_installedFolder);
    g_installedFolder.clear();
  }

  // Every file and folder below the installation folder but the downloads, with its bytes.
  std::map<std::wstring, std::string> InstalledTree() const {
    std::map<std::wstring, std::string> tree;
    for (const std::wstring& path : ListTree(InstallFolder()))
      if (path.rfind(L"_download\\", 0) != 0) tree[path] = ReadBytes(InstallFolder() + L"\\" + path);
    return tree;
  }

  // Nothing of a switch is left beside the package; a staged tree still held goes later.
  void ExpectNoSwitchLeft() const {
    for (const wchar_t* name : {L"new", L"old", L"switch.journal"})
      if (name[0] != L'n' || !script_.held) {
        EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\" + name)) << WideToUtf8(name);
      }
  }

  // A file of the tree under whichever of its spellings it landed.
  std::string ReadLanded(size_t index) const {
    std::string bytes;
    for (const std::wstring& name : EntryNameSpellings(kTree[index].name, kTree[index].utf8))
      bytes += ReadBytes(InstallFolder() + L"\\" + SafeEntryPath(name)->relative);
    return bytes;
  }

  std::wstring InstallFolder() const { return drive_ / L"Tovarelin"; }

  Script script_;
  TempFolder drive_;
  StandInWindow window_{drive_.path() + L"\\"};
};

}  // namespace

// The shell's way: a scanner holds the fresh package for 2 s, then the copy takes far longer
// than the budget of pauses without progress, calling back into the worker's apartment.
TEST_F(InstallWorkerTest, SucceedsOnceTheShellsSlowCopyHasLandedAndCleansUpAfterIt) {
  InstallSteps shortBudget = kFakeSteps;
  shortBudget.attempts = 10;
  script_.copy = Copy::kWhole;
  script_.copyByteMs = 40;
  script_.copyCallsBack = true;
  script_.realPauseMs = 20;
  script_.scannerHoldsPackageMs = 2000;
  const auto done = Run(shortBudget);
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(1u, done[0].wParam);
  EXPECT_EQ(nullptr, done[0].text);

  script_.copier.reset();
  EXPECT_EQ(static_cast<int>(std::size(kTree)), script_.callsServed.load());
  EXPECT_GT(script_.pauses.size(), 3u * shortBudget.attempts) << "the copy was not slow";
  std::printf("last file to shortcut: %llu ms\n", script_.shortcutAt - script_.lastWrite);
  const std::vector<unsigned> progress = window_.Progress();
  ASSERT_GE(progress.size(), 3u);
  EXPECT_EQ(0u, progress.front());
  EXPECT_EQ(100u, progress.back());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));

  EXPECT_EQ("read me", script_.lastFileAtShortcut);  // the last file had landed whole
  EXPECT_EQ(std::vector<DWORD>(script_.pauses.size(), 500), script_.pauses);
  EXPECT_EQ(InstallFolder() + L"\\_download", script_.downloadFolderSeen);
  EXPECT_EQ(InstallFolder() + L"\\_download\\new", script_.extractedInto);
  EXPECT_EQ(InstallFolder() + L"\\bin\\霁岚舟.exe", script_.shortcutTarget);
  EXPECT_EQ(InstallFolder() + L"\\bin", script_.shortcutFolder);
  // Deleted although the copy held it for a while after its last file.
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download\\Tovarelin.zip"));
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  EXPECT_EQ(InstallFolder(), g_installedFolder);
}

// Our reader's way, after a run that ended while the package was extracted.
TEST_F(InstallWorkerTest, DownloadFolderStaysWhenSomethingElseIsInIt) {
  MakeFolders(InstallFolder() + L"\\_download\\new\\bin");
  WriteBytes(InstallFolder() + L"\\_download\\new\\bin\\stale.dll", "left");
  WriteBytes(InstallFolder() + L"\\_download\\other.txt", "x");
  ExpectSuccess();
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\bin\\stale.dll"));
  EXPECT_TRUE(script_.pauses.empty());  // what our reader wrote and checked is not read back
  const std::vector<unsigned> progress = window_.Progress();
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(0u, progress.front());
  EXPECT_EQ(100u, progress.back());
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_EQ("library", ReadBytes(InstallFolder() + L"\\bin\\app.dll"));
  EXPECT_EQ(std::vector<std::wstring>{L"other.txt"}, ListTree(InstallFolder() + L"\\_download"));
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

// Each fails after one budget of pauses in a row without progress, whatever came before.
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
    EXPECT_GE(script_.pauses.size(), 20u);
    EXPECT_LE(script_.pauses.size(), 20u + std::size(kTree));
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
      [](const std::wstring&, const std::wstring&) { throw Silent(); }, FakeMove,
      {FakeReadSecurity, FakeProtect}, FakePause, kSearchAttempts, kPackagePublicKey};
  const auto done = Run(silentSteps);
  ASSERT_EQ(1u, done.size());
  EXPECT_EQ(0u, done[0].wParam);
  EXPECT_EQ(nullptr, done[0].text) << "the window shows its own text";
}

// An installed version with a file held by another process: nothing is extracted and nothing
// of it changes; the run ends after the short wait for a scanner.
TEST_F(InstallWorkerTest, AFileInUseFailsAtOnceAndReplacesNothing) {
  script_.copy = Copy::kWhole;
  std::vector<std::wstring> installed;
  for (size_t i = 0; i < std::size(kTree); ++i)
    if (kTree[i].data) installed.push_back(Landed(InstallFolder(), i));
  for (const std::wstring& path : installed) {
    MakeFolders(path.substr(0, path.rfind(L'\\')));
    WriteBytes(path, "version 1");
  }
  {
    const FileHandle running = HoldUnshared(installed[1]);
    ExpectFailure(kInUseText);
  }
  EXPECT_TRUE(script_.extractedInto.empty());
  EXPECT_EQ(std::vector<DWORD>(6, 500), script_.pauses);
  for (const std::wstring& path : installed) EXPECT_EQ("version 1", ReadBytes(path));
}

class Reinstall : public InstallWorkerTest, public ::testing::WithParamInterface<Held> {};

// Version 1 placed a plug-in and two plug-in folders that version 2 drops, and the person added
// files of their own, one in a plug-in folder. Each way a reinstall of version 2 can fail leaves
// version 1 exactly as it was, on both ways of extracting; then version 2 takes its place,
// without the plug-ins, beside the person's files: with something held open, the same tree.
TEST_P(Reinstall, FailingAnywhereLeavesTheInstalledVersionAsItWas) {
  InstallSteps shortBudget = kFakeSteps;
  shortBudget.attempts = 5;
  script_.realPauseMs = 20;  // the shell's copy holds the package a while after its last file
  std::optional<HeldOpen> installedHold;
  const auto installVersion1 = [&](bool hold) {
    installedHold.reset();
    script_.held.reset();
    script_.stagedHold = {};
    RemoveTree(InstallFolder());
    script_.copy = Copy::kOurReader;
    script_.version.clear();
    script_.packageBytes = Package("", {ZipEntry::File("bin/plugin.dll", "plug-in"),
                                        ZipEntry::File("plugins/one/one.dll", "1"),
                                        ZipEntry::File("plugins/two/two.dll", "2"),
                                        ZipEntry::File("logs/old/x.log", "x")});
    ExpectSuccess();
    WriteBytes(InstallFolder() + L"\\notes.txt", "mine");
    WriteBytes(InstallFolder() + L"\\bin\\user.ini", "mine too");
    WriteBytes(InstallFolder() + L"\\plugins\\two\\mine.txt", "mine as well");
    script_.version = " v2";
    script_.packageBytes = Package(" v2");
    if (hold && GetParam().staged) script_.stagedHold = GetParam();
    if (hold && GetParam().path && !GetParam().staged) {
      const std::wstring held = InstallFolder() + L"\\" + GetParam().path;
      const std::wstring notepad = _wgetenv(L"SystemRoot") + std::wstring(L"\\notepad.exe");
      EXPECT_TRUE(installedHold.emplace(held, GetParam().share, GetParam().share ? KernelHandle()
                                        : StartProgram(notepad, nullptr, held.c_str())));
    }
    return InstalledTree();
  };
  for (const Copy copy : {Copy::kOurReader, Copy::kWhole}) {
    SCOPED_TRACE(copy == Copy::kWhole ? "the shell's copy" : "our reader");
    installVersion1(false);
    script_.copy = copy;
    ExpectSuccess();
    const auto version2 = InstalledTree();
    const auto version1 = installVersion1(true);
    ASSERT_EQ(1u, version1.count(L"bin\\plugin.dll"));
    const auto expectVersion1 = [&](const std::string& after) {
      EXPECT_EQ(version1, InstalledTree()) << after;
      ExpectNoSwitchLeft();
    };
    script_.copy = Copy::kFails;
    ExpectFailure("解压安装包失败");
    expectVersion1("a failed extraction");
    if (copy == Copy::kWhole) {
      script_.copy = Copy::kHalf;
      ExpectFailure("解压安装包失败", shortBudget);
      expectVersion1("a copy that stopped");
    }
    script_.copy = copy;
    // The n-th rename of a file meets it in use to the end; the first run with fewer succeeds.
    size_t renames = 0;
    for (size_t n = 1; renames == 0 && n < 100; ++n) {
      script_.moves = script_.fileMoves = 0;
      script_.failing.clear();
      script_.failMove = n;
      const auto done = Run();
      script_.copier.reset();
      ASSERT_EQ(1u, done.size());
      if (done[0].wParam == 1) {
        renames = script_.moves;
        std::printf("%s: %zu renames, %zu of files\n", GetParam().what, renames, n - 1);
        g_installedFolder.clear();
        continue;
      }
      EXPECT_STREQ(kInUseText, done[0].text.get());
      expectVersion1("rename " + std::to_string(n) + " failed");
    }
    EXPECT_EQ(version2, InstalledTree());
    // The process ends after the n-th rename; the next run puts version 1 back first.
    script_.failMove = 0;
    EXPECT_EQ(version1, installVersion1(true));
    script_.copy = copy;
    for (size_t n = 1; n <= renames; ++n) {
      script_.moves = 0;
      script_.endAfterMove = n;
      EXPECT_THROW(RunInstallWorker(kFakeSteps), ProcessEnded);
      script_.copier.reset();
      script_.endAfterMove = 0;
      EXPECT_TRUE(PathExists(InstallFolder() + L"\\_download\\switch.journal"));
      script_.downloadFails = true;
      ExpectFailure("网络请求失败");
      script_.downloadFails = false;
      expectVersion1("the end after rename " + std::to_string(n));
    }
    ExpectSuccess();
    EXPECT_EQ(version2, InstalledTree());
    for (size_t i = 0; i < std::size(kTree); ++i) {
      if (kTree[i].data) {
        EXPECT_EQ(kTree[i].data + std::string(" v2"), ReadLanded(i));
      }
    }
    EXPECT_FALSE(PathExists(InstallFolder() + L"\\bin\\plugin.dll"));
    EXPECT_EQ("mine", ReadBytes(InstallFolder() + L"\\notes.txt"));
    EXPECT_EQ("mine too", ReadBytes(InstallFolder() + L"\\bin\\user.ini"));
    EXPECT_EQ((std::vector<std::wstring>{L"two\\", L"two\\mine.txt"}),
              ListTree(InstallFolder() + L"\\plugins"));
    // Without the list of an earlier installation, nothing the package does not name goes.
    installedHold.reset();
    script_.held.reset();
    script_.stagedHold = {};
    DeleteFileW((InstallFolder() + L"\\_installed_files.txt").c_str());
    WriteBytes(InstallFolder() + L"\\bin\\plugin.dll", "plug-in");
    ExpectSuccess();
    EXPECT_EQ("plug-in", ReadBytes(InstallFolder() + L"\\bin\\plugin.dll"));
    EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  }
}

constexpr DWORD kCurrentFolder = HeldOpen::kNoDeleteSharing;
INSTANTIATE_TEST_SUITE_P(
    WithSomethingHeld, Reinstall,
    ::testing::Values(Held{"nothing held", nullptr, 0, false},
                      Held{"installed current folder", L"data\\deep", kCurrentFolder, false},
                      Held{"installed file, a scanner's", L"logs\\old\\x.log", kShareAll, false},
                      Held{"staged current folder", L"data\\deep", kCurrentFolder, true},
                      Held{"staged file, a scanner's", L"data\\deep\\more.txt", kShareAll, true},
                      Held{"top folder, a process in it", L"data", 0, false}));

// With the publisher's key built in, a package or an answer that is not the publisher's is
// refused, by CNG, before anything is extracted: the installed version stays as it was, and the
// package and the download folder go. Without a key, a signature or none changes nothing.
TEST_F(InstallWorkerTest, OnlyThePublishersPackageIsInstalled) {
  ExpectSuccess();
  const auto version1 = InstalledTree();
  script_.packageBytes = Package(" v2");
  std::string changed = script_.packageBytes;
  changed[changed.size() / 2] ^= 1;
  const std::string der = DerSignature(EcdsaSignature{0x11, 0x22});
  const std::string tooLongR = std::string{0x30, 39, 0x02, 34, 0x01} + std::string(32, '\x11');
  const struct {
    const char* what;
    std::optional<std::wstring> signature;  // none: the publisher's, of the package
    std::string arrives;                    // empty: the package
    bool refusedBeforeTheDownload;
  } kAttacks[] = {
      {"a byte changed on the way", std::nullopt, changed, false},
      {"another package's signature", PackageSigner().Sign(Package(" v3")), "", false},
      {"a stranger's signature", PackageSigner::Stranger().Sign(script_.packageBytes), "", false},
      {"no signature", L"", "", true},
      {"not base64", L"MEUCIQ!!", "", true},
      {"bytes after the DER", Base64(der + '\0'), "", true},
      {"a third INTEGER",
       Base64(std::string{0x30, static_cast<char>(der[1] + 3)} + der.substr(2) + "\x02\x01\x01"),
       "", true},
      {"an r of 33 significant bytes", Base64(tooLongR + "\x02\x01\x01"), "", true},
  };
  for (const auto& attack : kAttacks) {
    SCOPED_TRACE(attack.what);
    script_.packageSignature = attack.signature;
    script_.downloadedBytes = attack.arrives;
    script_.downloadFolderSeen.clear();
    script_.extractedInto.clear();
    script_.shortcutTarget.clear();
    ExpectFailure("安装包签名无效");
    EXPECT_EQ(version1, InstalledTree());
    EXPECT_TRUE(script_.extractedInto.empty() && script_.shortcutTarget.empty());
    EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
    EXPECT_EQ(attack.refusedBeforeTheDownload, script_.downloadFolderSeen.empty());
  }
  InstallSteps withoutKey = kFakeSteps;
  withoutKey.packageKey = nullptr;
  for (const wchar_t* signature : {L"", L"MEUCIQ!!"}) {
    script_.packageSignature = signature;
    ExpectSuccess(withoutKey);
  }
  EXPECT_EQ("library v2", ReadBytes(InstallFolder() + L"\\bin\\app.dll"));
}

// The real transfer, from a server that knows ranges: a download cut short at 60 % is continued
// by the next press only where the joined package is checked whole and is the one published.
TEST_F(InstallWorkerTest, TheNextPressContinuesADownloadCutShortOnlyWhereItCanBeCheckedWhole) {
  HttpResponse answer;
  TestHttpServer server([&](const HttpRequest&) { return answer; });
  script_.link = server.url() + L"/p.zip";
  g_progressBar = window_.window();  // the download's percentages too
  InstallSteps steps = kFakeSteps;
  steps.downloadPackage = DownloadPackage;
  const size_t cut = script_.packageBytes.size() * 6 / 10;
  const std::string kept = "bytes=" + std::to_string(cut) + "- ";
  static constexpr char kCutShort[] = "网络请求失败";
  // The bytes under an ETag, or under a date, for which the server ignores ranges.
  const auto body = [](const std::string& bytes, const char* validator, int status = 200) {
    HttpResponse response = HttpResponse::Body(bytes, status);
    response.headers = {{validator[0] == '"' ? "ETag" : "Last-Modified", validator}};
    return response;
  };
  // A run against the answer; the Range and If-Range it asked with.
  const auto press = [&](HttpResponse response, const char* failure = nullptr) {
    answer = std::move(response);
    answer.dropAfter = failure == kCutShort ? static_cast<long long>(cut) : -1;
    failure ? ExpectFailure(failure, steps) : ExpectSuccess(steps);
    const HttpRequest last = server.requests().back();
    return last.Header("Range") + " " + last.Header("If-Range");
  };
  const std::string v1 = script_.packageBytes;
  script_.packageSignature = PackageSigner().Sign(v1);  // one signature, as published
  EXPECT_EQ(" ", press(body(v1, "\"1\""), kCutShort));
  EXPECT_EQ(cut, ReadBytes(InstallFolder() + L"\\_download\\Tovarelin.zip").size());
  const size_t shown = window_.Progress().size();
  EXPECT_EQ(kept + "\"1\"", press(body(v1, "\"1\"")));
  EXPECT_EQ(60u, window_.Progress().at(shown)) << "the bar starts where the download stopped";
  EXPECT_EQ("library", ReadBytes(InstallFolder() + L"\\bin\\app.dll"));
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  // Another package published since: downloaded whole.
  script_.packageSha256 = Sha256Hex(v1);
  press(body(v1, "\"1\""), kCutShort);
  const std::string v2 = script_.packageBytes = Package(" v2");
  script_.packageSha256 = Sha256Hex(v2);
  script_.packageSignature = PackageSigner().Sign(v2);
  EXPECT_EQ(" ", press(body(v2, "\"2\"")));
  EXPECT_EQ("library v2", ReadBytes(InstallFolder() + L"\\bin\\app.dll"));
  // A server that ignores ranges sends the whole.
  const char* date = "Tue, 08 Dec 2026 10:00:00 GMT";
  press(body(v2, date), kCutShort);
  EXPECT_EQ(kept + date, press(body(v2, date)));
  // A 206 for another start fails, and the next press starts from zero.
  press(body(v2, "\"2\""), kCutShort);
  HttpResponse elsewhere = body(v2.substr(1), "\"2\"", 206);
  const std::string last = std::to_string(v2.size() - 1), size = std::to_string(v2.size());
  elsewhere.headers.push_back({"Content-Range", "bytes 1-" + last + "/" + size});
  EXPECT_EQ(kept + "\"2\"", press(elsewhere, "服务器返回错误"));
  EXPECT_TRUE(ListTree(InstallFolder() + L"\\_download").empty());
  EXPECT_EQ(" ", press(body(v2, "\"2\"")));
  // Whole but not installed (its extraction failed): not asked for again.
  script_.copy = Copy::kFails;
  press(body(v2, "\"2\""), "解压安装包失败");
  script_.copy = Copy::kOurReader;
  press(HttpResponse::Body("", 500));  // a success only without a request
  // With the key and no hash, the rest of another package under the same ETag: refused whole.
  script_.packageSha256.clear();
  press(body(v2, "\"2\""), kCutShort);
  const auto installed = InstalledTree();
  std::string other = v2;
  other[cut + 1] ^= 1;
  script_.extractedInto.clear();
  EXPECT_EQ(kept + "\"2\"", press(body(other, "\"2\""), "安装包签名无效"));
  EXPECT_TRUE(script_.extractedInto.empty());
  EXPECT_EQ(installed, InstalledTree());
  EXPECT_FALSE(PathExists(InstallFolder() + L"\\_download"));
  EXPECT_EQ(" ", press(body(v2, "\"2\"")));
  // Neither hash nor key (a record from a build with one): nothing would prove joined bytes whole.
  press(body(v2, "\"2\""), kCutShort);
  steps.packageKey = nullptr;
  EXPECT_EQ(" ", press(body(v2, "\"2\"")));
}

// What another account owns in the folder, and the reinstall would keep, may have been planted and
// can be changed again by its owner: refused before anything is downloaded or changed, owners
// before the DACL. So is a DACL that cannot be replaced. What the last installation placed goes.
TEST_F(InstallWorkerTest, AnotherAccountsItemIsRefusedUnlessTheReinstallReplacesIt) {
  ExpectSuccess();
  WriteBytes(InstallFolder() + L"\\notes.txt", "mine");
  const auto version1 = InstalledTree();
  script_.packageBytes = Package(" v2");
  for (const std::wstring other : {L"", L"\\notes.txt", L"\\bin", L"refused"}) {
    script_.protectRefused = other == L"refused";
    script_.ownedByAnother = script_.protectRefused ? L"" : InstallFolder() + other;
    script_.downloadFolderSeen = script_.protectedFolder = L"";
    ExpectFailure("安装目录属于其他用户，请选择其他磁盘");
    EXPECT_EQ(version1, InstalledTree()) << WideToUtf8(other);
    EXPECT_TRUE(script_.downloadFolderSeen.empty() && !PathExists(InstallFolder() + L"\\_download"));
    EXPECT_EQ(script_.protectRefused ? InstallFolder() : L"", script_.protectedFolder);
  }
  script_.protectRefused = false;
  script_.ownedByAnother = InstallFolder() + L"\\bin\\app.dll";
  ExpectSuccess();
  EXPECT_EQ("library v2", ReadBytes(InstallFolder() + L"\\bin\\app.dll"));
}

// What neither the shell nor our reader could finish is refused before either starts.
TEST_F(InstallWorkerTest, PackagesThatCannotBeFinishedAreRefusedBeforeExtraction) {
  script_.copy = Copy::kWhole;
  for (const ZipEntry& entry : {ZipEntry::File("BIN/App.DLL", "other"),
                                ZipEntry::File("bin/secret.dat", "x").Encrypted(),
                                ZipEntry::File("data/CON", "device"),
                                ZipEntry::File("data/" + std::string(240, 'a'), "too long")}) {
    script_.packageBytes = Package("", {entry});
    ExpectFailure("解压安装包失败");
    EXPECT_TRUE(script_.extractedInto.empty()) << entry.name;
  }
}

TEST(WorkingFolder, IsTheFolderBeforeTheLastSeparator) {
  EXPECT_EQ(L"C:\\Tovarelin", WorkingFolderFor(L"C:\\Tovarelin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\bin", WorkingFolderFor(L"C:\\Tovarelin\\bin\\霁岚舟.exe", L"I"));
  EXPECT_EQ(L"C:\\Tovarelin\\a/b", WorkingFolderFor(L"C:\\Tovarelin\\a/b/霁岚舟.exe", L"I"));
  EXPECT_EQ(L"I", WorkingFolderFor(L"霁岚舟.exe", L"I"));
}

// On SDDL as Windows writes it, for the account S-1-5-21-1-2-3-1000.
TEST(FolderPermissions, OnlyTrustedOwnersAndTheProtectedFourEntriesAreAccepted) {
  const std::wstring me = L"S-1-5-21-1-2-3-1000", mine = L"O:" + me + L"D:P";
  const std::wstring rest = L"(A;OICI;FA;;;BA)(A;OICI;FA;;;" + me + L")(A;OICI;0x1200a9;;;BU)";
  const struct { std::wstring sddl; bool ownerAccepted, daclOurs; } kCases[] = {
      {mine + L"(A;OICI;FA;;;SY)" + rest, true, true},
      {L"O:BAD:PAI" + rest + L"(A;OICI;FA;;;SY)", true, true},  // in another order
      {L"O:SYD:(A;OICI;FA;;;SY)" + rest, true, false},          // not protected
      {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464D:P(A;OICI;FA;;;SY)" +
           rest + L"(A;OICI;FA;;;AU)", true, false},
      {L"O:S-1-5-21-1-2-3-1001D:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;0x1301bf;;;AU)(A;ID;0x1200a9;;;BU)",
       false, false},                                           // the Windows 10 root's
      {L"O:BUD:P", false, false},
      {mine + L"(A;OICI;GA;;;SY)" + rest, true, false},
      {mine + L"(D;OICI;FA;;;SY)" + rest, true, false},
      {mine + L"(A;OICI;FA;;;BA)" + rest, true, false},
      {mine + L"(A;CI;FA;;;SY)" + rest, true, false},
  };
  PSID sid = nullptr;
  ASSERT_TRUE(ConvertStringSidToSidW(me.c_str(), &sid));
  const LocalMemory<PSID> account(sid);
  for (const auto& c : kCases) {
    const SecurityDescriptor descriptor = FromSddl(c.sddl);
    ASSERT_TRUE(descriptor) << WideToUtf8(c.sddl);
    EXPECT_EQ(c.ownerAccepted, IsAcceptedOwner(descriptor.get(), sid)) << WideToUtf8(c.sddl);
    EXPECT_EQ(c.daclOurs, IsInstallFolderDacl(descriptor.get(), sid)) << WideToUtf8(c.sddl);
  }
  // No owner, and a NULL DACL: Wine's SDDL reader makes NO_ACCESS_CONTROL an empty one.
  SECURITY_DESCRIPTOR bare;
  InitializeSecurityDescriptor(&bare, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&bare, TRUE, nullptr, FALSE);
  SetSecurityDescriptorControl(&bare, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  EXPECT_FALSE(IsAcceptedOwner(&bare, sid) || IsInstallFolderDacl(&bare, sid));
}
