#include "install/install_worker.h"

#include <cstring>
#include <exception>
#include <new>

#include "common/constants.h"
#include "common/failure.h"
#include "common/folder_listing.h"
#include "common/handles.h"
#include "common/install_location.h"
#include "common/open_file.h"
#include "common/progress.h"
#include "common/shared_state.h"
#include "common/wait.h"
#include "install/failure_texts.h"
#include "install/find_executable.h"
#include "install/folder_permissions.h"
#include "install/install_worker_internal.h"
#include "install/package_checks.h"
#include "install/package_tree.h"
#include "install/replace_check.h"
#include "install/shortcut.h"
#include "install/tree_switch.h"
#include "net/package_download.h"
#include "zip/zip_reader.h"

namespace {

constexpr char kNotZipText[] = "下载的安装包不是 zip 压缩包";
constexpr char kExecutableMissingText[] = "安装包内未找到 霁岚舟.exe";
constexpr DWORD kPauseMs = 500;
constexpr int kInUseAttempts = 6;     // a scanner's moment, not a running program
constexpr int kRemovalAttempts = 20;  // the shell may hold the package after its copy

const InstallSteps kInstallSteps = {
    FetchDownloaderSettings, DownloadPackage, ExtractZipToFolder,
    FindProductExecutable,   CreateDesktopShortcut, MovePath,
    {ReadItemSecurity, ProtectFolder}, PauseDispatching, kSearchAttempts,
    kPackagePublicKey,
};

// The empty folder the package is extracted into, whose remains leave with the run; but not
// while a journal names them: undoing the switch needs them.
class StagingFolder {
 public:
  explicit StagingFolder(const InstallFolders& folders) : folders_(folders) {
    CreateDirectoryW(folders.staging.c_str(), nullptr);
  }
  ~StagingFolder() {
    if (!PathLingers(folders_.journal)) RemoveTree(folders_.staging);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

 private:
  const InstallFolders& folders_;
};

// Held while the installation folder is between two versions: the process ends only after.
class SwitchGuard {
 public:
  SwitchGuard() { AcquireSRWLockExclusive(&g_switchLock); }
  ~SwitchGuard() { ReleaseSRWLockExclusive(&g_switchLock); }
  SwitchGuard(const SwitchGuard&) = delete;
  SwitchGuard& operator=(const SwitchGuard&) = delete;
};

void CheckZipSignature(const std::wstring& packagePath) {
  FileHandle file = OpenFileRetrying(packagePath, GENERIC_READ, kShareAll, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL);
  if (!file) Fail(kNotZipText);
  char header[2] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file.get(), header, sizeof header, &read, nullptr);
  file.reset();
  if (!ok || read != 2 || header[0] != 'P' || header[1] != 'K')
    Fail(kNotZipText);
}

// Looks at the tree the shell is copying until it is complete, showing how much is in place;
// the copy is given up once it stands still for the whole budget.
bool WaitForShellCopy(PackageTreeCheck& tree, ProgressPercent& progress, int attempts,
                      FunctionRef<void()> pause) {
  return WaitWhileAdvancing(attempts, pause, [&] {
    const TreeProgress before = tree.progress();
    const bool complete = tree.Complete();
    PostProgress(progress.At(tree.progress().bytes));
    if (complete) return Look::kDone;
    return tree.progress().AdvancedFrom(before) ? Look::kAdvanced : Look::kStill;
  });
}

// The package, and what the switch left; then the download folder, when nothing else is in
// it. Waits while the shell still holds the package after its copy.
void RemoveDownloads(const InstallFolders& folders, const std::wstring& packagePath,
                     const InstallSteps& steps, FunctionRef<void()> pause) {
  WaitWhileAdvancing(kRemovalAttempts, pause, [&] {
    DeletePackage(packagePath);
    if (!SettleSwitch(folders, steps.move, pause) || PathLingers(packagePath)) return Look::kStill;
    RemoveDirectoryW(folders.download.c_str());
    return Look::kDone;
  });
}

void RunInstallation(const InstallSteps& steps) {
  // Nothing touches the disk before the settings server has answered.
  const DownloaderSettings settings = steps.fetchSettings();
  // What can never match fails now rather than after a whole download.
  CheckPublishedSha256(settings.package_sha256, kRequirePackageSha256);
  const auto signature = ReadPublishedSignature(settings, steps.packageKey);

  const std::wstring driveRoot = SelectedDriveRoot();
  const InstallFolders folders(InstallFolderForDrive(driveRoot));
  // The folder is made the person's before anything in it is settled, removed or downloaded.
  SecureInstallFolder(driveRoot, folders, steps.security);
  const auto pause = [&] { steps.pause(kPauseMs); };
  // A run cut short in its switch left the folder between two versions: it is made whole first.
  {
    const SwitchGuard guard;
    SettleSwitch(folders, steps.move, pause);
  }
  RemoveEarlierPackages(folders);
  CreateDirectoryW(folders.download.c_str(), nullptr);

  const DownloadedPackage package =
      steps.downloadPackage(settings, folders.download, steps.packageKey != nullptr);
  CheckDownloadedPackage(package, settings.package_sha256, signature, steps.packageKey);
  const std::wstring& packagePath = package.path;
  CheckZipSignature(packagePath);
  // The package's own directory tells what a finished extraction holds, before anything is
  // written: a package that neither way of extracting could finish, or that holds no product,
  // is refused at once.
  auto entries = ListZipEntries(packagePath, folders.staging.size());
  if (!entries) Fail(kExtractFailedText);
  const std::vector<std::wstring> executables = ProductExecutablePaths(*entries, folders.install);
  if (executables.empty()) Fail(kExecutableMissingText);
  const std::vector<std::wstring> placed = ReadPlacedFiles(folders);
  CheckReplaceable(*entries, folders, placed, kInUseAttempts, pause);

  // The installed version stays untouched until the staged tree is complete.
  PackageTreeCheck tree(folders.staging, std::move(*entries));
  const StagingFolder staging(folders);
  // The bar starts again after the download and follows the extraction.
  ProgressPercent progress(tree.TotalBytes());
  PostProgress(progress.At(0));
  const Extraction extraction = steps.extract(
      packagePath, folders.staging, [&](uint64_t bytes) { PostProgress(progress.Add(bytes)); });
  if (extraction.outcome == Extraction::kFailed) Fail(kExtractFailedText);
  // The shell goes on copying after CopyHere has returned; our reader checked as it wrote.
  if (extraction.outcome == Extraction::kHandedToShell &&
      !WaitForShellCopy(tree, progress, steps.attempts, pause))
    Fail(kExtractFailedText);
  {
    const SwitchGuard guard;
    SwitchIntoPlace(folders, placed, steps.move, pause);
  }

  const std::wstring executable = steps.findExecutable(folders.install, executables);
  if (executable.empty()) Fail(kExecutableMissingText);
  steps.createShortcut(executable, WorkingFolderFor(executable, folders.install));
  RemoveDownloads(folders, packagePath, steps, pause);
  g_installedFolder = folders.install;
}

// Null on success, else the failure's text (empty when it has none).
const char* RunInApartment(const InstallSteps& steps) {
  ComApartment apartment;
  try {
    RunInstallation(steps);
    return nullptr;
  } catch (const Failure& failure) {
    return failure.text ? failure.text : "";
  } catch (const std::exception&) {  // out of memory, or a failure of the C++ library's own
    return "";
  }
}

// A failure without a text posts none, and so does one whose copy finds no memory: the window
// then shows its own.
void PostInstallDone(const char* failure) {
  std::unique_ptr<char[]> text;
  if (failure && *failure) {
    const size_t size = std::strlen(failure) + 1;
    text.reset(new (std::nothrow) char[size]);
    if (text) std::memcpy(text.get(), failure, size);
  }
  // The window owns the text only once the message is queued; a closed window never gets it.
  if (PostMessageW(g_mainWindow, WM_INSTALL_DONE, failure ? 0 : 1,
                   reinterpret_cast<LPARAM>(text.get())))
    text.release();
}

}  // namespace

std::wstring WorkingFolderFor(const std::wstring& executablePath,
                              const std::wstring& installFolder) {
  const size_t slash = executablePath.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return installFolder;
  return executablePath.substr(0, slash);
}

DWORD RunInstallWorker(const InstallSteps& steps) {
  PostInstallDone(RunInApartment(steps));
  return 0;
}

DWORD WINAPI InstallWorker(LPVOID) { return RunInstallWorker(kInstallSteps); }
