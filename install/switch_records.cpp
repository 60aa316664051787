#include "install/switch_records.h"

#include <windows.h>

#include <utility>

#include "common/code_pages.h"
#include "common/failure.h"
#include "install/failure_texts.h"
#include "zip/zip_names.h"

namespace {

constexpr wchar_t kJournalHeader[] = L"Tovarelin switch 1";
constexpr wchar_t kCommitLine[] = L"committed";

// Whole lines only: a last line without its end was cut short.
std::vector<std::wstring> Lines(const std::string& text) {
  const std::wstring wide = Utf8ToWide(text);
  std::vector<std::wstring> lines;
  for (size_t start = 0, end; (end = wide.find(L'\n', start)) != std::wstring::npos;
       start = end + 1)
    lines.push_back(wide.substr(start, end - start));
  return lines;
}

// Whether the line is a path in its own canonical relative form.
bool IsRelativePath(const std::wstring& line) {
  const auto safe = SafeEntryPath(line);
  return safe && !safe->isFolder && safe->relative == line;
}

}  // namespace

std::optional<SwitchJournal> ParseJournal(const std::string& text) {
  const std::vector<std::wstring> lines = Lines(text);
  if (lines.empty() || lines[0] != kJournalHeader) return std::nullopt;
  SwitchJournal journal;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] == kCommitLine) {
      journal.committed = i + 1 == lines.size();
      break;
    }
    const size_t tab = lines[i].find(L'\t');
    const bool split = lines[i].ends_with(L'\\');
    TreeMove move{lines[i].substr(0, tab),
                  lines[i].substr(tab + 1, lines[i].size() - tab - 1 - split), split};
    if (tab == std::wstring::npos || !IsRelativePath(move.from) || !IsRelativePath(move.to)) break;
    journal.moves.push_back(std::move(move));
  }
  return journal;
}

std::string FormatPlacedFiles(const std::vector<ListedItem>& items) {
  std::wstring text;
  for (const ListedItem& item : items)
    if (!item.isFolder()) text += item.name + L"\n";
  return WideToUtf8(text);
}

std::vector<std::wstring> ParsePlacedFiles(const std::string& text) {
  std::vector<std::wstring> files = Lines(text);
  std::erase_if(files, [](const std::wstring& line) { return !IsRelativePath(line); });
  return files;
}

JournalFile::JournalFile(const std::wstring& path, const std::vector<TreeMove>& moves)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (!file_) Fail(kExtractFailedText);
  Write(kJournalHeader, moves);
}

void JournalFile::Commit() { Write(kCommitLine, {}); }

void JournalFile::Write(std::wstring line, const std::vector<TreeMove>& moves) {
  if (!line.empty()) line += L'\n';
  for (const TreeMove& move : moves)
    line += move.from + L"\t" + move.to + (move.split ? L"\\\n" : L"\n");
  const std::string text = WideToUtf8(line);
  DWORD written = 0;
  if (!WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !FlushFileBuffers(file_.get()))
    Fail(kExtractFailedText);
}

void WriteSmallFile(const std::wstring& path, const std::string& bytes, DWORD attributes) {
  if (!WriteSmallFileThrough(path, bytes, attributes)) Fail(kExtractFailedText);
}
