#include "install/tree_switch.h"

#include <windows.h>

#include "common/decimal_text.h"
#include "common/failure.h"
#include "common/folder_listing.h"
#include "common/wait.h"
#include "install/failure_texts.h"
#include "net/package_download.h"

namespace {

constexpr wchar_t kDownloadName[] = L"_download";
constexpr wchar_t kStagingName[] = L"_download\\new";
constexpr wchar_t kBackupName[] = L"_download\\old";
constexpr wchar_t kJournalName[] = L"_download\\switch.journal";
constexpr wchar_t kPlacedListName[] = L"_installed_files.txt";
constexpr int kMoveAttempts = 20;  // about 10 s: a scanner's hold, not a running program

std::wstring Join(const std::wstring& folder, const std::wstring& relative) {
  if (folder.empty() || relative.empty()) return folder + relative;
  return folder + L"\\" + relative;
}

std::wstring ParentOf(const std::wstring& relative) {
  const size_t slash = relative.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

bool IsBelow(const std::wstring& path, const std::wstring& folder) {
  return path.size() > folder.size() && path[folder.size()] == L'\\' &&
         path.compare(0, folder.size(), folder) == 0;
}

bool IsInUse(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
         error == ERROR_LOCK_VIOLATION;
}

// 0 once moved, else the error of the last try.
DWORD MoveRetrying(const std::wstring& from, const std::wstring& to, MoveStep move,
                   FunctionRef<void()> pause) {
  DWORD error = 0;
  WaitWhileAdvancing(kMoveAttempts, pause, [&] {
    error = move(from, to) ? 0 : GetLastError();
    return IsInUse(error) ? Look::kStill : Look::kDone;
  });
  return error;
}

// Puts back, last first, each move whose target is there and whose source is not: what a
// run made of them, whether it ended normally or not; and removes the folders splits made.
void UndoMoves(const InstallFolders& folders, const std::vector<TreeMove>& moves, MoveStep move,
               FunctionRef<void()> pause) {
  for (size_t i = moves.size(); i-- > 0;) {
    const std::wstring from = Join(folders.install, moves[i].from);
    const std::wstring to = Join(folders.install, moves[i].to);
    if (moves[i].split) {
      RemoveDirectoryW(to.c_str());
      continue;
    }
    if (GetFileAttributesW(to.c_str()) == INVALID_FILE_ATTRIBUTES ||
        GetFileAttributesW(from.c_str()) != INVALID_FILE_ATTRIBUTES)
      continue;
    MakeFolders(folders.install, ParentOf(moves[i].from));
    if (MoveRetrying(to, from, move, pause) != 0) Fail(kInUseText);
  }
}

// The moves of one switch as they are made.
struct SwitchRun {
  const InstallFolders& folders;
  MoveStep move;
  FunctionRef<void()> pause;
  JournalFile& journal;
};

DWORD MakeMove(SwitchRun& run, const TreeMove& whole);

// A folder that cannot move whole (something below it is open, or its place is taken by a
// folder a split left) goes item by item, into a folder made for them where there is none;
// the new moves are written down before the first of them is made. A folder of the installed
// version goes once emptied when the new version does not have it, since then no later move
// takes its place (an undo makes it again for the first item it puts back); any other stays,
// the staged ones for the undo to tell what was moved.
DWORD SplitMove(SwitchRun& run, const TreeMove& whole, const std::wstring& from,
                const std::wstring& to) {
  const bool made = !IsFolder(to);
  std::vector<TreeMove> parts;
  if (made) parts.push_back({whole.from, whole.to, true});
  for (const ListedItem& item : ListFolder(from))
    parts.push_back({Join(whole.from, item.name), Join(whole.to, item.name)});
  run.journal.Add(parts);
  if (made && !CreateDirectoryW(to.c_str(), nullptr)) return GetLastError();
  for (size_t i = made; i < parts.size(); ++i)
    if (const DWORD error = MakeMove(run, parts[i])) return error;
  if (whole.to.rfind(kBackupName, 0) == 0 && !IsFolder(Join(run.folders.staging, whole.from)))
    RemoveDirectoryW(from.c_str());
  return 0;
}

// 0 once made, else the error that stopped it. Only a file is tried again.
DWORD MakeMove(SwitchRun& run, const TreeMove& whole) {
  const std::wstring from = Join(run.folders.install, whole.from);
  const std::wstring to = Join(run.folders.install, whole.to);
  if (run.move(from, to)) return 0;
  const DWORD error = GetLastError();
  const DWORD attributes = GetFileAttributesW(from.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ==
          FILE_ATTRIBUTE_DIRECTORY &&
      (IsInUse(error) || error == ERROR_ALREADY_EXISTS))
    return SplitMove(run, whole, from, to);
  return IsInUse(error) ? MoveRetrying(from, to, run.move, run.pause) : error;
}

// Adds the folders above the item to the list.
void AddFoldersAbove(const std::wstring& name, std::vector<ListedItem>& list) {
  for (size_t slash = name.rfind(L'\\'); slash != std::wstring::npos && slash > 0;
       slash = name.rfind(L'\\', slash - 1))
    list.push_back({name.substr(0, slash)});
}

// Whole folders where it can, for renames are slow on some file systems: what the staged tree
// names, or the last installation placed, goes aside (a folder in one move, unless something of
// the person's is in it, when what it holds is looked at item by item); then the staged items
// move in (a folder not in place any more in one move).
std::vector<TreeMove> PlanMoves(const std::vector<ListedItem>& installed,
                                const std::vector<ListedItem>& staged,
                                std::vector<ListedItem> placed) {
  std::vector<ListedItem> stagedByName = staged;
  SortByName(stagedByName);
  SortByName(placed);
  const auto ours = [&](const ListedItem& item) {
    return FindByName(stagedByName, item.name) || FindByName(placed, item.name);
  };
  std::vector<ListedItem> kept;
  for (const ListedItem& item : installed)
    if (!ours(item)) AddFoldersAbove(item.name, kept);  // they hold something of the person's
  SortByName(kept);

  std::vector<TreeMove> moves;
  std::wstring whole;
  for (const ListedItem& item : installed) {
    if ((!whole.empty() && IsBelow(item.name, whole)) || !ours(item) ||
        (item.isFolder() && FindByName(kept, item.name)))
      continue;
    moves.push_back({item.name, Join(kBackupName, DecimalText(moves.size() + 1))});
    if (item.isFolder()) whole = item.name;
  }
  whole.clear();
  for (const ListedItem& item : staged) {
    if (!whole.empty() && IsBelow(item.name, whole)) continue;
    if (FindByName(kept, item.name)) {
      if (!item.isFolder()) Fail(kExtractFailedText);  // a folder stays there
      continue;
    }
    moves.push_back({Join(kStagingName, item.name), item.name});
    if (item.isFolder()) whole = item.name;
  }
  return moves;
}

}  // namespace

InstallFolders::InstallFolders(const std::wstring& installFolder)
    : install(installFolder),
      download(Join(installFolder, kDownloadName)),
      staging(Join(installFolder, kStagingName)),
      backup(Join(installFolder, kBackupName)),
      journal(Join(installFolder, kJournalName)),
      placedList(Join(installFolder, kPlacedListName)) {}

bool MovePath(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), 0) != FALSE;
}

std::vector<std::wstring> ReadPlacedFiles(const InstallFolders& folders) {
  return ParsePlacedFiles(ReadSmallFile(folders.placedList));
}

std::vector<std::wstring> ObsoleteFiles(const InstallFolders& folders,
                                        const std::vector<std::wstring>& placed,
                                        std::vector<ListedItem> named) {
  SortByName(named);
  std::vector<std::wstring> obsolete;
  for (const std::wstring& file : placed) {
    // The installer's own files are never the product's.
    if (FindByName(named, file) || SameFileName(file.substr(0, file.find(L'\\')), kDownloadName))
      continue;
    const DWORD attributes = GetFileAttributesW(Join(folders.install, file).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      obsolete.push_back(file);
  }
  return obsolete;
}

void SwitchIntoPlace(const InstallFolders& folders, const std::vector<std::wstring>& placed,
                     MoveStep move, FunctionRef<void()> pause) {
  std::vector<ListedItem> staged = ListFolderTree(folders.staging);
  WriteSmallFile(Join(folders.staging, kPlacedListName), FormatPlacedFiles(staged),
                 FILE_ATTRIBUTE_HIDDEN);
  staged.push_back({kPlacedListName});
  // The folders of the placed files were placed too: one the package drops goes with them.
  std::vector<ListedItem> placedItems;
  for (const std::wstring& file : placed) {
    placedItems.push_back({file});
    AddFoldersAbove(file, placedItems);
  }
  const std::vector<TreeMove> moves =
      PlanMoves(ListFolderTree(folders.install, kDownloadName), staged, std::move(placedItems));

  CreateDirectoryW(folders.backup.c_str(), nullptr);
  JournalFile journal(folders.journal, moves);
  SwitchRun run{folders, move, pause, journal};
  for (const TreeMove& whole : moves) {
    const DWORD error = MakeMove(run, whole);
    if (error == 0) continue;
    // Undone from the journal, as the next run would undo it.
    journal.Close();
    SettleSwitch(folders, move, pause);
    Fail(IsInUse(error) ? kInUseText : kExtractFailedText);
  }
  journal.Commit();
}

void RemoveEarlierPackages(const InstallFolders& folders) {
  RemoveTree(folders.staging);
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileExW((folders.download + L"\\Tovarelin*.zip").c_str(),
                                   FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (find) {
    do
      if (!SameFileName(data.cFileName, kPackageName))
        DeleteFileW(Join(folders.download, data.cFileName).c_str());
    while (FindNextFileW(find.get(), &data));
  }
}

bool SettleSwitch(const InstallFolders& folders, MoveStep move,
                  FunctionRef<void()> pause) {
  const auto journal = ParseJournal(ReadSmallFile(folders.journal));
  const bool committed = journal && journal->committed;
  if (journal && !committed)
    UndoMoves(folders, journal->moves, move, pause);
  else
    RemoveTree(folders.staging);
  // Without a committed journal the backups are the installed version's: only an empty
  // folder goes.
  const bool backupsGone = committed ? RemoveTree(folders.backup)
                                     : RemoveDirectoryW(folders.backup.c_str()) ||
                                           !PathLingers(folders.backup);
  if (backupsGone) DeleteFileW(folders.journal.c_str());
  return !PathLingers(folders.staging) && !PathLingers(folders.backup) &&
         !PathLingers(folders.journal);
}
