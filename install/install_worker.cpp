#include "install/install_worker.h"

#include <cstring>
#include <stdexcept>

#include "app/drives.h"
#include "app/shared_state.h"
#include "common/handles.h"
#include "constants.h"
#include "install/extract.h"
#include "install/find_executable.h"
#include "install/package_hash.h"
#include "install/shortcut.h"
#include "net/package_download.h"

const InstallSteps kInstallSteps = {
    FetchDownloaderSettings, DownloadPackage,       ExtractZipToFolder,
    FindProductExecutable,   CreateDesktopShortcut, [](DWORD ms) { Sleep(ms); },
};

namespace {

constexpr char kNotZipText[] = "下载的安装包不是 zip 压缩包";
constexpr char kExtractFailedText[] = "解压安装包失败";
constexpr char kExecutableMissingText[] = "安装包内未找到 霁岚舟.exe";
constexpr char kFallbackFailureText[] = "安装失败";

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
  if (!steps.extract(packagePath, installFolder)) throw std::runtime_error(kExtractFailedText);

  // The shell may still be copying when the extraction returns.
  const std::wstring executable =
      WaitForExecutable([&] { return steps.findExecutable(installFolder); },
                        [&] { steps.pause(kSearchPauseMs); }, kSearchAttempts);
  if (executable.empty()) throw std::runtime_error(kExecutableMissingText);

  steps.createShortcut(executable, WorkingFolderFor(executable, installFolder));

  DeleteFileW(packagePath.c_str());
  RemoveDirectoryW(downloadFolder.c_str());  // only when empty
  g_installedFolder = installFolder;
}

// Empty on success, else the text the user reads.
std::string RunInApartment(const InstallSteps& steps) {
  ComApartment apartment;
  try {
    RunInstallation(steps);
    return {};
  } catch (const std::exception& e) {
    // An empty text would read as success.
    return *e.what() ? e.what() : kFallbackFailureText;
  }
}

void PostInstallDone(const std::string& errorText) {
  char* text = nullptr;
  if (!errorText.empty()) {
    text = new char[errorText.size() + 1];
    std::memcpy(text, errorText.c_str(), errorText.size() + 1);
  }
  PostMessageW(g_mainWindow, WM_INSTALL_DONE, errorText.empty() ? 1 : 0,
               reinterpret_cast<LPARAM>(text));
}

}  // namespace

std::wstring WaitForExecutable(const std::function<std::wstring()>& find,
                               const std::function<void()>& pause, int attempts) {
  for (int attempt = 0; attempt < attempts; ++attempt) {
    std::wstring path = find();
    if (!path.empty()) return path;
    pause();
  }
  return {};
}

std::wstring WorkingFolderFor(const std::wstring& executablePath,
                              const std::wstring& installFolder) {
  const size_t slash = executablePath.find_last_of(L"\\/");
  if (slash == std::wstring::npos) return installFolder;
  return executablePath.substr(0, slash);
}

void CheckPackageSignature(const std::wstring& packagePath) {
  FileHandle file(CreateFileW(packagePath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error(kNotZipText);
  char header[2] = {};
  DWORD read = 0;
  const BOOL ok = ReadFile(file.get(), header, sizeof header, &read, nullptr);
  file.reset();
  if (!ok || read != 2 || header[0] != 'P' || header[1] != 'K')
    throw std::runtime_error(kNotZipText);
}

DWORD RunInstallWorker(const InstallSteps& steps) {
  PostInstallDone(RunInApartment(steps));
  return 0;
}

DWORD WINAPI InstallWorker(LPVOID) { return RunInstallWorker(kInstallSteps); }
