// One installation run, from the settings to the shortcut, on a thread of its own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "net/settings.h"

// The stages a run goes through; the real ones are kInstallSteps, tests put in their own.
struct InstallSteps {
  DownloaderSettings (*fetchSettings)();
  std::wstring (*downloadPackage)(const DownloaderSettings&, const std::wstring& downloadFolder);
  bool (*extract)(const std::wstring& packagePath, const std::wstring& destinationFolder);
  std::wstring (*findExecutable)(const std::wstring& folder);
  void (*createShortcut)(const std::wstring& executablePath, const std::wstring& workingFolder);
  void (*pause)(DWORD milliseconds);
};
extern const InstallSteps kInstallSteps;

constexpr int kSearchAttempts = 600;
constexpr DWORD kSearchPauseMs = 500;

// Calls find until it yields a path, pausing after every empty result; empty when all
// attempts stayed empty.
std::wstring WaitForExecutable(const std::function<std::wstring()>& find,
                               const std::function<void()>& pause, int attempts);

// The folder holding the executable: the path before its last '\' or '/', else the
// installation folder.
std::wstring WorkingFolderFor(const std::wstring& executablePath,
                              const std::wstring& installFolder);

// Throws unless the file opens and starts with "PK".
void CheckPackageSignature(const std::wstring& packagePath);

// A whole run with the given stages; posts exactly one WM_INSTALL_DONE at its end.
DWORD RunInstallWorker(const InstallSteps& steps);

// Thread procedure started by the window's button.
DWORD WINAPI InstallWorker(LPVOID);
