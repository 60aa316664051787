// The install run with stages put in by its tests, and the rules they check directly.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "install/extract.h"
#include "net/settings.h"

constexpr int kSearchAttempts = 600;

// The stages a run goes through.
struct InstallSteps {
  DownloaderSettings (*fetchSettings)();
  std::wstring (*downloadPackage)(const DownloaderSettings&, const std::wstring& downloadFolder);
  Extraction (*extract)(const std::wstring& packagePath, const std::wstring& destinationFolder);
  std::wstring (*findExecutable)(const std::wstring& folder,
                                 const std::vector<std::wstring>& packageExecutables);
  void (*createShortcut)(const std::wstring& executablePath, const std::wstring& workingFolder);
  void (*pause)(DWORD milliseconds);
  // How often a run checks the extracted tree, and then the package's removal, pausing after
  // each miss.
  int attempts = kSearchAttempts;
};

// The attempts one run may spend waiting, shared by all its waits.
class WaitBudget {
 public:
  WaitBudget(int attempts, std::function<void()> pause)
      : left_(attempts), pause_(std::move(pause)) {}
  // Calls done until it holds, pausing after every miss; false once the attempts are spent.
  bool WaitFor(const std::function<bool()>& done);

 private:
  int left_;
  std::function<void()> pause_;
};

// The folder holding the executable: the path before its last '\' or '/', else the
// installation folder.
std::wstring WorkingFolderFor(const std::wstring& executablePath,
                              const std::wstring& installFolder);

// A whole run with the given stages; posts exactly one WM_INSTALL_DONE at its end.
DWORD RunInstallWorker(const InstallSteps& steps);
