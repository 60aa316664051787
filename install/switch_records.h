// What the switch of an installed version writes down: its journal, flushed to disk before the
// first rename, and the list of files an installation placed. Both are small UTF-8 files of
// paths relative to the installation folder, one per line.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/folder_listing.h"
#include "common/handles.h"
#include "common/small_file.h"

struct TreeMove {
  std::wstring from, to;  // relative to the installation folder
  // A folder that could not move whole: it stays, `to` is a folder made for its items, and
  // they move on lines of their own after this one.
  bool split = false;
};

struct SwitchJournal {
  std::vector<TreeMove> moves;  // in the order they are made
  bool committed = false;       // every move was made
};

// The moves up to the first line that is not whole and well formed (a write cut short, or a
// path that could lead out of the folder); nothing without the journal's first line. A split
// is written as its move with a backslash after the target, a line that readers before splits
// stop at.
std::optional<SwitchJournal> ParseJournal(const std::string& text);

// The files among the items, by their relative paths.
std::string FormatPlacedFiles(const std::vector<ListedItem>& items);
// The lines that are safe relative paths; others are passed over.
std::vector<std::wstring> ParsePlacedFiles(const std::string& text);

// The journal on disk, written through to it: the moves before the first rename, those a split
// adds before the first of them, the commit after the last. Throws "解压安装包失败" when it
// cannot be written.
class JournalFile {
 public:
  JournalFile(const std::wstring& path, const std::vector<TreeMove>& moves);
  void Add(const std::vector<TreeMove>& moves) { Write(L"", moves); }
  void Commit();
  // Lets it be read; the switch has stopped.
  void Close() { file_.reset(); }

 private:
  // The line when there is one, then a line for each move.
  void Write(std::wstring line, const std::vector<TreeMove>& moves);

  FileHandle file_;
};

// Throws "解压安装包失败" when it cannot be written whole.
void WriteSmallFile(const std::wstring& path, const std::string& bytes, DWORD attributes);
