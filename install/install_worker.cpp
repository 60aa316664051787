#include "install/install_worker.h"

#include <cstring>
#include <memory>
#include <optional>
#include <stdexcept>

#include "common/constants.h"
#include "common/handles.h"
#include "common/install_location.h"
#include "common/open_file.h"
#include "common/progress.h"
#include "common/shared_state.h"
#include "common/wait.h"
#include "install/find_executable.h"
#include "install/install_worker_internal.h"
#include "install/package_hash.h"
#include "install/package_tree.h"
#include "install/replace_check.h"
#include "install/shortcut.h"
#include "install/zip_reader.h"
#include "net/package_download.h"

namespace {

constexpr char kNotZipText[] = "下载的安装包不是 zip 压缩包";
constexpr char kExtractFailedText[] = "解压安装包失败";
constexpr char kExecutableMissingText[] = "安装包内未找到 霁岚舟.exe";
constexpr DWORD kPauseMs = 500;
constexpr int kInUseAttempts = 6;            // a scanner's moment, not a running program
constexpr int kPackageRemovalAttempts = 20;  // the shell may hold the package after its copy

const InstallSteps kInstallSteps = {
    FetchDownloaderSettings, DownloadPackage,       ExtractZipToFolder,
    FindProductExecutable,   CreateDesktopShortcut, PauseDispatching,
    kSearchAttempts,
};

void CheckPackageSignature(const std::wstring& packagePath) {
  FileHandle file = OpenFileRetrying(packagePath, GENERIC_READ, kShareAll, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL);
  if (!file) throw std::runtime_error(kNotZipText);
  char header[2] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file.get(), header, sizeof header, &read, nullptr);
  file.reset();
  if (!ok || read != 2 || header[0] != 'P' || header[1] != 'K')
    throw std::runtime_error(kNotZipText);
}

// Looks at the tree the shell is copying until it is complete, showing how much is in place;
// the copy is given up once it stands still for the whole budget.
bool WaitForShellCopy(PackageTreeCheck& tree, ProgressPercent& progress, int attempts,
                      const std::function<void()>& pause) {
  return WaitWhileAdvancing(attempts, pause, [&] {
    const TreeProgress before = tree.progress();
    const bool complete = tree.Complete();
    PostProgress(progress.At(tree.progress().bytes));
    if (complete) return Look::kDone;
    return tree.progress().AdvancedFrom(before) ? Look::kAdvanced : Look::kStill;
  });
}

void RunInstallation(const InstallSteps& steps) {
  // Nothing touches the disk before the settings server has answered.
  const DownloaderSettings settings = steps.fetchSettings();
  // A value that can never match fails now rather than after a whole download.
  CheckPublishedSha256(settings.package_sha256, kRequirePackageSha256);

  const std::wstring installFolder = InstallFolderForDrive(SelectedDriveRoot());
  const std::wstring downloadFolder = installFolder + L"\\_download";
  CreateDirectoryW(installFolder.c_str(), nullptr);
  CreateDirectoryW(downloadFolder.c_str(), nullptr);

  const std::wstring packagePath = steps.downloadPackage(settings, downloadFolder);
  CheckPackageSha256(packagePath, settings.package_sha256);
  CheckPackageSignature(packagePath);
  // The package's own directory tells what a finished extraction holds, before anything is
  // written: a package that neither way of extracting could finish, or that holds no product,
  // is refused at once.
  auto entries = ListZipEntries(packagePath, installFolder.size());
  if (!entries) throw std::runtime_error(kExtractFailedText);
  const std::vector<std::wstring> executables = ProductExecutablePaths(*entries, installFolder);
  if (executables.empty()) throw std::runtime_error(kExecutableMissingText);

  const auto pause = [&] { steps.pause(kPauseMs); };
  PackageTreeCheck tree(installFolder, std::move(*entries));
  CheckReplaceable(tree, installFolder, kInUseAttempts, pause);

  // The bar starts again after the download and follows the extraction.
  ProgressPercent progress(tree.TotalBytes());
  PostProgress(progress.At(0));
  const Extraction extraction = steps.extract(
      packagePath, installFolder, [&](uint64_t bytes) { PostProgress(progress.Add(bytes)); });
  if (extraction.outcome == Extraction::kFailed) throw std::runtime_error(kExtractFailedText);
  // The shell goes on copying after CopyHere has returned; our reader checked as it wrote.
  if (extraction.outcome == Extraction::kHandedToShell &&
      !WaitForShellCopy(tree, progress, steps.attempts, pause))
    throw std::runtime_error(kExtractFailedText);

  const std::wstring executable = steps.findExecutable(installFolder, executables);
  if (executable.empty()) throw std::runtime_error(kExecutableMissingText);

  steps.createShortcut(executable, WorkingFolderFor(executable, installFolder));

  WaitWhileAdvancing(kPackageRemovalAttempts, pause, [&] {
    const bool gone =
        DeleteFileW(packagePath.c_str()) || GetLastError() != ERROR_SHARING_VIOLATION;
    return gone ? Look::kDone : Look::kStill;
  });
  RemoveDirectoryW(downloadFolder.c_str());  // only when empty
  g_installedFolder = installFolder;
}

// Nothing on success, else the failure's text (empty when it has none).
std::optional<std::string> RunInApartment(const InstallSteps& steps) {
  ComApartment apartment;
  try {
    RunInstallation(steps);
    return std::nullopt;
  } catch (const std::exception& e) {
    return e.what();
  }
}

// A failure without a text posts none; the window then shows its own.
void PostInstallDone(const std::optional<std::string>& failure) {
  std::unique_ptr<char[]> text;
  if (failure && !failure->empty()) {
    text.reset(new char[failure->size() + 1]);
    std::memcpy(text.get(), failure->c_str(), failure->size() + 1);
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
