// A DLL left beside the downloaded installer under a system DLL's name is never loaded.
//
// The planted copy (planted_dll/) leaves "<its path>.loaded" whenever a process loads it, then
// refuses to load. Windows looks for a DLL that is not a Known DLL in the program's folder
// first; Wine prefers its own builtin DLLs, so CTest runs these cases with winhttp, comctl32 and
// bcrypt set to "native, then builtin" (TOVARELIN_DLL_OVERRIDES), which restores that order.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <string>

#include "app/main_window.h"
#include "common/ecdsa_p256.h"
#include "common/code_pages.h"
#include "common/handles.h"
#include "support/files.h"
#include "support/install_scenario.h"
#include "support/window_driver.h"

namespace {

constexpr const wchar_t* kPlantedNames[] = {L"winhttp.dll", L"comctl32.dll", L"bcrypt.dll"};
constexpr DWORD kControlRunMs = 30000;

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
  return text;
}

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH] = {};
  GetSystemDirectoryW(folder, MAX_PATH);
  return folder;
}

// Copies a file from the folder of the test programs, where the build puts them.
bool CopyBuilt(const std::wstring& name, const std::wstring& target) {
  return CopyFileW((TestProgramFolder() + L"\\" + name).c_str(), target.c_str(), TRUE) != FALSE;
}

// Leaves the planted DLL in the folder under the given name.
bool Plant(const TempFolder& folder, const std::wstring& name) {
  return CopyBuilt(L"planted.dll", folder / name);
}

bool LeftMarker(const TempFolder& folder, const std::wstring& name) {
  return PathExists(folder / (name + L".loaded"));
}

// The path of the module of that name in a running process, or empty when it has none.
std::wstring ModulePath(DWORD processId, const std::wstring& name) {
  KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
  HMODULE modules[1024] = {};
  DWORD bytes = 0;
  if (!process || !EnumProcessModules(process.get(), modules, sizeof modules, &bytes)) return L"";
  const DWORD count = std::min<DWORD>(bytes / sizeof(HMODULE), ARRAYSIZE(modules));
  for (DWORD i = 0; i < count; ++i) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameExW(process.get(), modules[i], path, MAX_PATH);
    const std::wstring found = path;
    if (Lower(found.substr(found.find_last_of(L'\\') + 1)) == name) return found;
  }
  return L"";
}

// Runs a console program to its end, ending it after a while, and returns its exit code.
DWORD RunToEnd(const std::wstring& path) {
  KernelHandle process = StartProgram(path);
  if (!process) {
    ADD_FAILURE() << "cannot start " << WideToUtf8(path);
    return 0;
  }
  if (WaitForSingleObject(process.get(), kControlRunMs) == WAIT_TIMEOUT) {
    ADD_FAILURE() << "the program did not end";
    TerminateProcess(process.get(), 99);
    WaitForSingleObject(process.get(), 5000);
  }
  DWORD exitCode = 0;
  GetExitCodeProcess(process.get(), &exitCode);
  return exitCode;
}

}  // namespace

// Runs the built installer of that name from a folder with the planted DLLs.
class DllPlantingScenario : public InstallScenario {
 protected:
  void RunWithoutLoadingPlantedDlls(const std::wstring& program, size_t planted);
};

// Not bcrypt.dll here: what Wine's own DLLs delay-load (winhttp's crypt32, which imports bcrypt)
// Wine looks for beside the program despite the default directories, where Windows looks in
// System32 only. The case below plants it: there the installer loads it from System32 at start.
TEST_F(DllPlantingScenario, InstallerRunsWithoutLoadingPlantedDlls) {
  RunWithoutLoadingPlantedDlls(L"TovarelinInstaller.exe", 2);
}

// Built to start as Windows 7 without update KB2533623 does, without SetDefaultDllDirectories.
TEST_F(DllPlantingScenario, InstallerWithoutSetDefaultDllDirectoriesRunsWithoutLoadingThem) {
  RunWithoutLoadingPlantedDlls(L"TovarelinInstallerWithoutDllDirectories.exe", 3);
}

void DllPlantingScenario::RunWithoutLoadingPlantedDlls(const std::wstring& program,
                                                       size_t planted) {
  TempFolder folder;
  ASSERT_TRUE(CopyBuilt(program, folder / L"TovarelinInstaller.exe"));
  for (size_t i = 0; i < planted; ++i) ASSERT_TRUE(Plant(folder, kPlantedNames[i]));
  ScriptedServer files(HttpResponse::Body(ProductPackage()));
  ServeSettings(L"", L"", files.url() + L"/files/Tovarelin.zip", L"", Signature(ProductPackage()));

  InstallerProcess installer(folder / L"TovarelinInstaller.exe");  // fails the test if no window
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  ExpectInstalled(installer);
  ExpectProductInstalledIn(InstallFolderOn(L'C'));
  EXPECT_EQ(1u, settings_->requests().size());
  EXPECT_EQ(1u, files.requests().size());
  // The progress bar needs comctl32, the package's signature bcrypt: both were loaded, from
  // the system folder.
  for (const wchar_t* name : {L"comctl32.dll", L"bcrypt.dll"})
    EXPECT_EQ(Lower(SystemFolder()), Lower(FolderOf(ModulePath(installer.processId(), name))))
        << name;
  for (const wchar_t* name : kPlantedNames) EXPECT_FALSE(LeftMarker(folder, name)) << name;
}

// The same planted copies are loaded by a program that imports them the ordinary way.
TEST(DllPlanting, OrdinaryImportLoadsAPlantedDll) {
  SetErrorMode(SEM_FAILCRITICALERRORS);  // Windows would report the failed start in a box
  for (const wchar_t* name : kPlantedNames) {
    SCOPED_TRACE(testing::Message() << name);
    TempFolder folder;
    ASSERT_TRUE(CopyBuilt(L"planted_control.exe", folder / L"planted_control.exe"));
    ASSERT_TRUE(Plant(folder, name));
    EXPECT_NE(0u, RunToEnd(folder / L"planted_control.exe"));
    EXPECT_TRUE(LeftMarker(folder, name));
  }
}

// The delay-loaded DLLs come in on first use, from the system folder.
TEST(DllPlanting, DelayLoadedDllsLoadOnFirstCall) {
  struct Case {
    const wchar_t* name;
    std::function<void()> firstCall;
  };
  const Case cases[] = {
      {L"winhttp.dll", [] { WinHttpCheckPlatform(); }},
      {L"comctl32.dll",
       [] {
         INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
         InitCommonControlsEx(&controls);
       }},
      {L"bcrypt.dll", [] { VerifyEcdsaP256({}, {}, {}); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    EXPECT_EQ(nullptr, GetModuleHandleW(c.name));
    c.firstCall();
    EXPECT_EQ(Lower(SystemFolder()), Lower(FolderOf(ModulePath(GetCurrentProcessId(), c.name))));
  }
}
