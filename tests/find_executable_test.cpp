#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <vector>

#include "common/handles.h"
#include "common/install_location.h"
#include "install/find_executable.h"
#include "install/find_executable_internal.h"
#include "support/files.h"
#include "support/wait.h"

namespace {

constexpr auto kLinkTimeout = std::chrono::seconds(5);

// Creates files, and folders for names ending in '\'; returns the full path of each.
std::vector<std::wstring> Lay(const std::wstring& root,
                              std::initializer_list<const wchar_t*> names) {
  std::vector<std::wstring> paths;
  for (std::wstring name : names) {
    const bool folder = name.back() == L'\\';
    if (folder) name.pop_back();
    const std::wstring path = root + L"\\" + name;
    MakeFolders(folder ? path : path.substr(0, path.rfind(L'\\')));
    if (!folder) WriteBytes(path, "MZ");
    paths.push_back(path);
  }
  return paths;
}

// A junction, the folder link that needs no privilege on Windows.
bool MakeJunction(const std::wstring& link, const std::wstring& target) {
  MakeFolders(link);
  FileHandle folder(CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                nullptr));
  if (!folder) return false;
  // The mount-point reparse buffer: substitute name and print name, each NUL-terminated.
  const std::wstring substitute = L"\\??\\" + target;
  const WORD nameBytes = static_cast<WORD>(substitute.size() * sizeof(wchar_t));
  std::vector<WORD> buffer(8 + 2 * (substitute.size() + 1), 0);
  reinterpret_cast<DWORD&>(buffer[0]) = IO_REPARSE_TAG_MOUNT_POINT;
  buffer[2] = static_cast<WORD>(8 + 2 * (nameBytes + sizeof(wchar_t)));  // data length
  buffer[4] = 0;                                                         // substitute offset
  buffer[5] = nameBytes;
  buffer[6] = static_cast<WORD>(nameBytes + sizeof(wchar_t));  // print name offset
  buffer[7] = nameBytes;
  std::memcpy(&buffer[8], substitute.c_str(), nameBytes);
  std::memcpy(&buffer[8 + substitute.size() + 1], substitute.c_str(), nameBytes);
  DWORD returned = 0;
  return DeviceIoControl(folder.get(), FSCTL_SET_REPARSE_POINT, buffer.data(), 8 + buffer[2],
                         nullptr, 0, &returned, nullptr) != FALSE;
}

// Starts a Unix command line through Wine, which runs Unix programs given by their path. Its
// process handle does not wait for the program, so callers wait for the program's effect.
bool StartUnix(std::string command) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  KernelHandle processHandle(process.hProcess), threadHandle(process.hThread);
  return true;
}

bool IsFolderLink(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::string UnixPath(const std::wstring& path) {
  using UnixName = char*(CDECL*)(const wchar_t*);
  const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = unixName ? unixName(path.c_str()) : nullptr;
  const std::string result = name ? "\"" + std::string(name) + "\"" : std::string();
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

// Wine 8 has neither junctions nor symbolic links of its own (CreateSymbolicLinkW reports
// success and creates nothing), but it shows a Unix symbolic link to a folder as a folder
// that is a reparse point. Its DeleteFileW and RemoveDirectoryW cannot remove one either.
bool MakeUnixLink(const std::wstring& link, const std::wstring& target) {
  const std::string linkPath = UnixPath(link), targetPath = UnixPath(target);
  return !linkPath.empty() && StartUnix("/bin/ln -s " + targetPath + " " + linkPath) &&
         WaitUntil([&] { return IsFolderLink(link); }, kLinkTimeout);
}

void RemoveFolderLink(const std::wstring& link) {
  if (!RemoveDirectoryW(link.c_str()) && StartUnix("/bin/rm " + UnixPath(link)))
    WaitUntil([&] { return !PathExists(link); }, kLinkTimeout);
}

// Folder links that the file system reports as reparse points, made the platform's way and
// removed again before the folders around them.
class FolderLinks {
 public:
  ~FolderLinks() {
    for (const std::wstring& link : links_) RemoveFolderLink(link);
  }
  bool Make(const std::wstring& link, const std::wstring& target) {
    links_.push_back(link);
    if (MakeJunction(link, target)) return IsFolderLink(link);
    RemoveDirectoryW(link.c_str());
    return MakeUnixLink(link, target);
  }

 private:
  std::vector<std::wstring> links_;
};

}  // namespace

TEST(FindProductExecutable, FollowsTheDirectTestThenADepthFirstWalk) {
  const struct {
    const char* what;
    std::initializer_list<const wchar_t*> layout;
    const wchar_t* expected;  // relative to the root; empty when nothing is found
  } cases[] = {
      {"at the top", {L"霁岚舟.exe", L"a\\other.txt"}, L"霁岚舟.exe"},
      {"two levels down", {L"A\\readme.txt", L"A\\B\\霁岚舟.exe"}, L"A\\B\\霁岚舟.exe"},
      {"top copy before the nested one", {L"aaa\\霁岚舟.exe", L"霁岚舟.exe"}, L"霁岚舟.exe"},
      {"folders of that name", {L"霁岚舟.exe\\", L"sub\\霁岚舟.exe\\"}, L""},
      // The direct test spells the name its own way on a file system that ignores case.
      {"upper-case extension", {L"bin\\霁岚舟.EXE"}, L"bin\\霁岚舟.exe"},
      {"inside a dot-folder", {L".hidden\\x\\霁岚舟.exe"}, L".hidden\\x\\霁岚舟.exe"},
      {"nothing like it", {L"a\\霁岚舟.ex", L"b\\霁岚舟.exe.txt", L"c\\"}, L""},
  };
  for (const auto& c : cases) {
    TempFolder root;
    const std::vector<std::wstring> package = Lay(root.path(), c.layout);
    const std::wstring expected = *c.expected ? root / c.expected : L"";
    EXPECT_EQ(expected, FindProductExecutable(root.path(), package)) << c.what;
  }
}

TEST(FindProductExecutable, TakesTheSubfolderListedFirst) {
  TempFolder root;
  const auto package = Lay(root.path(), {L"one\\霁岚舟.exe", L"two\\霁岚舟.exe"});
  WIN32_FIND_DATAW entry = {};
  FindHandle find(FindFirstFileW((root / L"*").c_str(), &entry));
  ASSERT_TRUE(find);
  while (entry.cFileName[0] == L'.') ASSERT_TRUE(FindNextFileW(find.get(), &entry));
  EXPECT_EQ(root / entry.cFileName + L"\\霁岚舟.exe", FindProductExecutable(root.path(), package));
}

TEST(FindProductExecutable, TakesOnlyAFileOfThePackage) {
  TempFolder root;
  Lay(root.path(), {L"霁岚舟.exe", L"a\\霁岚舟.exe", L"b\\霁岚舟.exe"});  // earlier installs
  EXPECT_EQ(root / L"b\\霁岚舟.exe", FindProductExecutable(root.path(), {root / L"B\\霁岚舟.EXE"}));
  EXPECT_EQ(L"", FindProductExecutable(root.path(), {}));
}

TEST(FindProductExecutable, FindsNothingBelowAMissingRoot) {
  TempFolder root;
  EXPECT_EQ(L"", FindProductExecutable(root / L"missing", {root / L"missing\\霁岚舟.exe"}));
}

TEST(FindProductExecutable, DoesNotEnterFolderLinks) {
  TempFolder root, elsewhere;
  Lay(elsewhere.path(), {L"霁岚舟.exe"});
  Lay(root.path(), {L"a\\readme.txt"});
  FolderLinks links;
  if (!links.Make(root / L"a\\out", elsewhere.path()) ||
      !links.Make(root / L"a\\loop", root.path()))
    GTEST_SKIP() << "no folder links on this system";

  const std::vector<std::wstring> package = {root / L"a\\out\\霁岚舟.exe", root / L"z\\霁岚舟.exe"};
  EXPECT_EQ(L"", FindProductExecutable(root.path(), package));
  Lay(root.path(), {L"z\\霁岚舟.exe"});
  EXPECT_EQ(root / L"z\\霁岚舟.exe", FindProductExecutable(root.path(), package));
}

TEST(ProductExecutableName, FoldsOnlyAsciiLetters) {
  for (const wchar_t* name : {L"霁岚舟.exe", L"霁岚舟.EXE", L"霁岚舟.eXe"})
    EXPECT_TRUE(IsProductExecutableName(name)) << name;
  for (const wchar_t* name : {L"霁岚舟.ex", L"霁岚舟.exe ", L"霁岚舟.exe.lnk", L"霁岚舟．exe",
                              L"霁岚舟.ЕХЕ", L"霁岚.exe", L""})
    EXPECT_FALSE(IsProductExecutableName(name)) << name;
}

TEST(ProductExecutableSearch, EntersPlainFoldersOnly) {
  EXPECT_TRUE(ShouldEnterFolder(FILE_ATTRIBUTE_DIRECTORY));
  EXPECT_TRUE(ShouldEnterFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN |
                                FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(ShouldEnterFolder(FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
  EXPECT_FALSE(ShouldEnterFolder(FILE_ATTRIBUTE_NORMAL));
}
