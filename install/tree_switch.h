// Putting a complete staged tree in place of the installed version by renames on one drive,
// so that the installation folder holds one whole version before, after, and after a failure.
#pragma once

#include <string>
#include <vector>

#include "common/folder_listing.h"
#include "common/function_ref.h"
#include "install/switch_records.h"

// One installation's folders: the installation folder and, inside it, the download folder
// with the package, the staged tree, the installed files moved aside, and the journal.
struct InstallFolders {
  explicit InstallFolders(const std::wstring& installFolder);
  std::wstring install, download, staging, backup, journal, placedList;
};

// A rename; false with the thread's last error set when it fails.
using MoveStep = bool (*)(const std::wstring& from, const std::wstring& to);
bool MovePath(const std::wstring& from, const std::wstring& to);

// The list of files the last installation placed; empty for an installation made without one.
std::vector<std::wstring> ReadPlacedFiles(const InstallFolders& folders);

// The files of that list that the new package does not name and that are still there as
// files: they go with the old version. `named`: what the new package holds, files and
// folders, by their relative paths.
std::vector<std::wstring> ObsoleteFiles(const InstallFolders& folders,
                                        const std::vector<std::wstring>& placed,
                                        std::vector<ListedItem> named);

// Moves the installed files that the staged tree replaces, and the obsolete ones, aside, then
// the staged items into place with the new list, and commits the journal. A move that meets a
// file in use is tried again for about 10 s; if it still fails, every move made is undone and
// it throws "安装目录中有文件正在使用，请关闭霁岚舟后重试". Throws "解压安装包失败", before
// any move, when a staged file would take the place of a folder.
void SwitchIntoPlace(const InstallFolders& folders, const std::vector<std::wstring>& placed,
                     MoveStep move, FunctionRef<void()> pause);

// Deletes the staged tree and every Tovarelin*.zip in the download folder but Tovarelin.zip:
// what earlier runs did not get to delete (a run ended during the shell's copy), under the
// names the download picks (Tovarelin.zip, else Tovarelin (n).zip or Tovarelin-n.zip). Whether
// Tovarelin.zip, which a download that ended short leaves, is continued or deleted is the
// download's choice. The download folder can go after a success.
void RemoveEarlierPackages(const InstallFolders& folders);

// Brings what a switch left in the download folder to an end: a journal without its commit (a
// run cut short, or a switch that failed) has its moves undone, last first, and the staged tree
// then stays for the run's own clean-up; otherwise the staged tree goes, and a committed
// journal's backups with it. True when nothing of the switch is left. Throws "安装目录中有文件正在使用，请关闭霁岚舟后重试" when a
// file cannot be moved back; the journal then stays for the next run.
bool SettleSwitch(const InstallFolders& folders, MoveStep move,
                  FunctionRef<void()> pause);
