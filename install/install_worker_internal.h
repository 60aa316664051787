// The install run with stages put in by its tests, and the rules they check directly.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "install/extract.h"
#include "install/folder_permissions.h"
#include "install/tree_switch.h"
#include "net/package_download.h"
#include "net/settings.h"

constexpr int kSearchAttempts = 600;

// The stages a run goes through.
struct InstallSteps {
  DownloaderSettings (*fetchSettings)();
  DownloadedPackage (*downloadPackage)(const DownloaderSettings&,
                                       const std::wstring& downloadFolder, bool signatureChecked);
  Extraction (*extract)(const std::wstring& packagePath, const std::wstring& destinationFolder,
                        const WrittenBytes& written);
  std::wstring (*findExecutable)(const std::wstring& folder,
                                 const std::vector<std::wstring>& packageExecutables);
  void (*createShortcut)(const std::wstring& executablePath, const std::wstring& workingFolder);
  // The renames that switch the installed version, and undo the switch.
  MoveStep move;
  // Reading the owners in the installation folder, and replacing its DACL.
  FolderSecuritySteps security;
  // The waits for the shell's copy, for files in use and for the removal of the downloads
  // pause through this, 500 ms at a time.
  void (*pause)(DWORD milliseconds);
  // How many pauses in a row without progress a run waits for the shell's copy.
  int attempts = kSearchAttempts;
  // The publisher's key that the package's signature must verify with; null: no signature.
  const EcdsaPublicKey* packageKey = nullptr;
};

// The folder holding the executable: the path before its last '\' or '/', else the
// installation folder.
std::wstring WorkingFolderFor(const std::wstring& executablePath,
                              const std::wstring& installFolder);

// A whole run with the given stages; posts exactly one WM_INSTALL_DONE at its end.
DWORD RunInstallWorker(const InstallSteps& steps);
