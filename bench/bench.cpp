// Times the installer's own download, extraction and search from inside Wine (or Windows).
// Each command prints one JSON line for bench/run_bench.py, which runs the anchors.
//
//   tovarelin_bench download URL FILE [SHA256 KEY SIGNATURE]
//                                         HttpGet in file mode, progress counted, the SHA-256
//                                         taken as the file is written; then the run's checks
//                                         of the package against the published hash and the
//                                         signature (KEY: the point, 128 hex digits)
//   tovarelin_bench resume URL FOLDER SHA256 KEY SIGNATURE
//                                         DownloadPackage into FOLDER, continuing what an
//                                         earlier run kept there, then the run's checks; a
//                                         download that breaks off is reported, not an error
//   tovarelin_bench ceiling URL           raw WinHTTP read loop, nothing kept
//   tovarelin_bench ceiling URL FILE      raw WinHTTP read loop writing FILE
//   tovarelin_bench extract ZIP FOLDER    ExtractZipArchive into an existing folder
//   tovarelin_bench complete ZIP FOLDER   the run's completion check of FOLDER against ZIP,
//                                         every file read back as after the shell's copy
//   tovarelin_bench look ZIP FOLDER REPEATS  the look at FOLDER that each of the run's pauses
//                                         makes while the shell copies: the first, then REPEATS
//                                         more
//   tovarelin_bench find ROOT REPEATS EXE FindProductExecutable, REPEATS times, EXE the
//                                         package's executable
//   tovarelin_bench switch ZIP FOLDER     over the version installed in FOLDER: ZIP extracted
//                                         by our reader into the staging folder, then switched
//                                         in; then once more, the switch undone at its last
//                                         rename; then once more, with the deepest installed
//                                         folder held as a current folder, by Windows' rule
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/message_counter.h"
#include "bench/stopwatch.h"
#include "bench/tree_walk.h"
#include "bench/winhttp_ceiling.h"
#include "common/code_pages.h"
#include "common/constants.h"
#include "common/failure.h"
#include "common/sha256.h"
#include "common/shared_state.h"
#include "install/find_executable.h"
#include "install/package_checks.h"
#include "install/package_tree.h"
#include "install/tree_switch.h"
#include "net/http_get.h"
#include "net/package_download.h"
#include "support/windows_moves.h"
#include "zip/zip_reader.h"

namespace {
std::string JsonText(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

// Builds one flat JSON object, field by field.
class JsonLine {
 public:
  JsonLine& Add(const char* key, const std::string& rawValue) {
    line_ += (line_.empty() ? "{" : ", ") + JsonText(key) + ": " + rawValue;
    return *this;
  }
  JsonLine& Add(const char* key, std::uint64_t value) { return Add(key, std::to_string(value)); }
  JsonLine& Add(const char* key, double value) { return Add(key, std::to_string(value)); }
  JsonLine& Add(const char* key, bool value) { return Add(key, std::string(value ? "true" : "false")); }
  void Print() const {
    std::printf("%s}\n", line_.c_str());
    std::fflush(stdout);
  }

 private:
  std::string line_;
};

std::uint64_t PeakWorkingSet() {
  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PeakWorkingSetSize;
}

std::uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The point as tools/package_key.sh prints it.
EcdsaPublicKey ParseKey(const std::wstring& hex) {
  EcdsaPublicKey key = {};
  for (size_t i = 0; i < key.size() && 2 * i + 1 < hex.size(); ++i)
    key[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  return key;
}

void Download(const std::wstring& url, const std::wstring& file,
              const std::vector<std::wstring>& published) {
  Sha256 hash;
  const ProgressTally tally =
      RunWithProgressWindow([&] { HttpGet(url, L"", file, g_mainWindow, &hash); });
  double checkSeconds = 0;
  if (published.size() == 3) {
    const EcdsaPublicKey key = ParseKey(published[1]);
    Stopwatch watch;
    const DownloadedPackage package{file, hash.Finish()};
    CheckDownloadedPackage(package, published[0],
                           ReadPublishedSignature({L"", L"", url, L"", published[2]}, &key), &key);
    checkSeconds = watch.Seconds();
  }
  JsonLine()
      .Add("seconds", tally.workSeconds)
      .Add("check_seconds", checkSeconds)
      .Add("bytes", FileSize(file))
      .Add("messages", std::uint64_t{tally.messages})
      .Add("last_percent", std::uint64_t{tally.lastPercent})
      .Add("went_backwards", tally.wentBackwards)
      .Add("peak_working_set", PeakWorkingSet())
      .Print();
}

void Resume(const std::wstring& url, const std::wstring& folder,
            const std::vector<std::wstring>& published) {
  const EcdsaPublicKey key = ParseKey(published[1]);
  const DownloaderSettings settings{L"", L"", url, published[0], published[2]};
  std::string failure;
  const ProgressTally tally = RunWithProgressWindow([&] {
    g_progressBar = g_mainWindow;
    try {
      const DownloadedPackage package = DownloadPackage(settings, folder, true);
      CheckDownloadedPackage(package, published[0], ReadPublishedSignature(settings, &key), &key);
    } catch (const Failure& broken) {
      failure = broken.text ? broken.text : "";
    }
  });
  JsonLine()
      .Add("seconds", tally.workSeconds)
      .Add("failure", JsonText(failure))
      .Add("kept_bytes", FileSize(folder + L"\\" + kPackageName))
      .Add("first_percent", std::uint64_t{tally.firstPercent})
      .Print();
}

void Ceiling(const std::wstring& url, const std::wstring& file) {
  Stopwatch watch;
  const std::uint64_t bytes = file.empty() ? ReadBodyWithoutKeeping(url) : ReadBodyIntoFile(url, file);
  const double seconds = watch.Seconds();
  JsonLine().Add("seconds", seconds).Add("bytes", bytes).Add("peak_working_set", PeakWorkingSet()).Print();
}

void Extract(const std::wstring& zip, const std::wstring& folder) {
  Stopwatch watch;
  const bool ok = ExtractZipArchive(zip, folder);
  const double seconds = watch.Seconds();
  JsonLine().Add("seconds", seconds).Add("ok", ok).Add("peak_working_set", PeakWorkingSet()).Print();
}

void Complete(const std::wstring& zip, const std::wstring& folder) {
  Stopwatch watch;
  auto entries = ListZipEntries(zip, folder.size());
  const bool ok = entries && PackageTreeCheck(folder, std::move(*entries)).Complete();
  const double seconds = watch.Seconds();
  JsonLine().Add("seconds", seconds).Add("ok", ok).Print();
}

void Look(const std::wstring& zip, const std::wstring& folder, int repeats) {
  auto entries = ListZipEntries(zip, folder.size());
  if (!entries) throw std::runtime_error("cannot list the package");
  const size_t count = entries->size();
  PackageTreeCheck tree(folder, std::move(*entries));
  Stopwatch first;
  bool complete = tree.Complete();
  const double firstSeconds = first.Seconds();
  std::string times = "[";
  for (int i = 0; i < repeats; ++i) {
    Stopwatch watch;
    complete = tree.Complete();
    times += (i ? ", " : "") + std::to_string(watch.Seconds());
  }
  JsonLine()
      .Add("first_seconds", firstSeconds)
      .Add("seconds", times + "]")
      .Add("entries", static_cast<std::uint64_t>(count))
      .Add("bytes_in_place", tree.progress().bytes)
      .Add("complete", complete)
      .Print();
}

// The new list goes in last: its rename stands for a file that stays in use.
bool MoveFailingAtTheList(const std::wstring& from, const std::wstring& to) {
  if (from.ends_with(L"\\_download\\new\\_installed_files.txt")) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  return MovePath(from, to);
}

std::uint64_t g_renames = 0;  // tried, refused ones too

bool CountedMove(const std::wstring& from, const std::wstring& to) {
  ++g_renames;
  return MoveAsWindows(from, to);
}

// The first of the folders most levels down, relative to the folder.
std::wstring DeepestFolder(const std::wstring& folder) {
  std::wstring deepest;
  for (const ListedItem& item : ListFolderTree(folder, L"_download"))
    if (item.isFolder() && std::count(item.name.begin(), item.name.end(), L'\\') >
                               std::count(deepest.begin(), deepest.end(), L'\\'))
      deepest = item.name;
  return deepest;
}

void Switch(const std::wstring& zip, const std::wstring& folder) {
  const InstallFolders folders(folder);
  const auto stage = [&] {
    CreateDirectoryW(folders.download.c_str(), nullptr);
    CreateDirectoryW(folders.staging.c_str(), nullptr);
    Stopwatch watch;
    if (!ExtractZipArchive(zip, folders.staging)) throw std::runtime_error("cannot extract");
    return watch.Seconds();
  };
  const auto timedSwitch = [&](MoveStep move) {
    Stopwatch watch;
    try {
      SwitchIntoPlace(folders, ReadPlacedFiles(folders), move, [] {});
    } catch (const Failure&) {
      if (move != MoveFailingAtTheList) throw;
    }
    const double seconds = watch.Seconds();
    SettleSwitch(folders, MovePath, [] {});  // the backups and what is left of the staged tree
    return seconds;
  };
  const double extractCommitted = stage();
  const double committed = timedSwitch(CountedMove);
  const std::uint64_t renames = std::exchange(g_renames, 0);
  const double extractUndone = stage();
  const double undone = timedSwitch(MoveFailingAtTheList);
  const double extractHeld = stage();
  const std::wstring deepest = DeepestFolder(folder);
  double held = 0;
  {
    const HeldOpen hold(folder + L"\\" + deepest, HeldOpen::kNoDeleteSharing);
    if (!hold) throw std::runtime_error("cannot hold the deepest folder");
    held = timedSwitch(CountedMove);
  }
  SettleSwitch(folders, MovePath, [] {});
  RemoveDirectoryW(folders.download.c_str());
  JsonLine()
      .Add("extract_seconds", "[" + std::to_string(extractCommitted) + ", " +
                                  std::to_string(extractUndone) + ", " +
                                  std::to_string(extractHeld) + "]")
      .Add("commit_seconds", committed)
      .Add("undo_seconds", undone)
      .Add("held_seconds", held)
      .Add("renames", renames)
      .Add("held_renames", g_renames)
      .Add("held_folder", JsonText(WideToUtf8(deepest)))
      .Print();
}

void Find(const std::wstring& root, int repeats, const std::wstring& packageExecutable) {
  std::string times = "[";
  std::wstring found;
  for (int i = 0; i < repeats; ++i) {
    Stopwatch watch;
    found = FindProductExecutable(root, {packageExecutable});
    times += (i ? ", " : "") + std::to_string(watch.Seconds());
  }
  const WalkCount walk = CountSearchWalk(root, kProductExeName);
  JsonLine()
      .Add("seconds", times + "]")
      .Add("found", JsonText(WideToUtf8(found)))
      .Add("entries", walk.entries)
      .Add("entries_before_match", walk.entriesBeforeMatch)
      .Add("walk_found", walk.found)
      .Print();
}

void Run(const std::vector<std::wstring>& args) {
  const std::wstring command = args.empty() ? L"" : args[0];
  if (command == L"download" && (args.size() == 3 || args.size() == 6))
    return Download(args[1], args[2], {args.begin() + 3, args.end()});
  if (command == L"resume" && args.size() == 6)
    return Resume(args[1], args[2], {args.begin() + 3, args.end()});
  if (command == L"ceiling" && (args.size() == 2 || args.size() == 3))
    return Ceiling(args[1], args.size() == 3 ? args[2] : L"");
  if (command == L"extract" && args.size() == 3) return Extract(args[1], args[2]);
  if (command == L"complete" && args.size() == 3) return Complete(args[1], args[2]);
  if (command == L"look" && args.size() == 4) return Look(args[1], args[2], std::stoi(args[3]));
  if (command == L"find" && args.size() == 4) return Find(args[1], std::stoi(args[2]), args[3]);
  if (command == L"switch" && args.size() == 3) return Switch(args[1], args[2]);
  throw std::runtime_error(
      "usage: download URL FILE [SHA256 KEY SIGNATURE] | resume URL FOLDER SHA256 KEY SIGNATURE | "
      "ceiling URL [FILE] | extract ZIP FOLDER | "
      "complete ZIP FOLDER | look ZIP FOLDER REPEATS | find ROOT REPEATS EXE | switch ZIP FOLDER");
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  try {
    Run(std::vector<std::wstring>(argv + 1, argv + argc));
    return 0;
  } catch (const Failure& failure) {
    JsonLine().Add("error", JsonText(failure.text ? failure.text : "")).Print();
    return 1;
  } catch (const std::exception& failure) {
    JsonLine().Add("error", JsonText(failure.what())).Print();
    return 1;
  }
}
