#include "install/switch_records.h"

#include <windows.h>

#include <stdexcept>

#include "common/code_pages.h"
#include "install/failure_texts.h"
#include "install/zip_names.h"

namespace {

constexpr char kJournalHeader[] = "Tovarelin switch 1";
constexpr char kCommitLine[] = "committed";
constexpr DWORD kReadLimit = 64 << 20;

// Whole lines only: a last line without its end was cut short.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  return lines;
}

// The path as its own canonical relative form, or nothing when it is not one.
std::optional<std::wstring> RelativePath(const std::string& line) {
  const std::wstring path = Utf8ToWide(line);
  const auto safe = SafeEntryPath(path);
  if (!safe || safe->isFolder || safe->relative != path) return std::nullopt;
  return path;
}

std::string Line(const std::wstring& path) { return WideToUtf8(path) + "\n"; }

}  // namespace

std::string FormatJournal(const std::vector<TreeMove>& moves) {
  std::string text = std::string(kJournalHeader) + "\n";
  for (const TreeMove& move : moves) text += WideToUtf8(move.from) + "\t" + Line(move.to);
  return text;
}

std::optional<SwitchJournal> ParseJournal(const std::string& text) {
  const std::vector<std::string> lines = Lines(text);
  if (lines.empty() || lines[0] != kJournalHeader) return std::nullopt;
  SwitchJournal journal;
  for (size_t i = 1; i < lines.size(); ++i) {
    if (lines[i] == kCommitLine) {
      journal.committed = i + 1 == lines.size();
      break;
    }
    const size_t tab = lines[i].find('\t');
    if (tab == std::string::npos) break;
    const auto from = RelativePath(lines[i].substr(0, tab));
    const auto to = RelativePath(lines[i].substr(tab + 1));
    if (!from || !to) break;
    journal.moves.push_back({*from, *to});
  }
  return journal;
}

std::string FormatPlacedFiles(const std::vector<std::wstring>& files) {
  std::string text;
  for (const std::wstring& file : files) text += Line(file);
  return text;
}

std::vector<std::wstring> ParsePlacedFiles(const std::string& text) {
  std::vector<std::wstring> files;
  for (const std::string& line : Lines(text))
    if (auto path = RelativePath(line)) files.push_back(std::move(*path));
  return files;
}

JournalFile::JournalFile(const std::wstring& path, const std::vector<TreeMove>& moves)
    : path_(path),
      file_(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (!file_) throw std::runtime_error(kExtractFailedText);
  Append(FormatJournal(moves));
}

void JournalFile::Commit() { Append(std::string(kCommitLine) + "\n"); }

void JournalFile::Discard() {
  file_.reset();
  DeleteFileW(path_.c_str());
}

void JournalFile::Append(const std::string& text) {
  DWORD written = 0;
  if (!WriteFile(file_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
      written != text.size() || !FlushFileBuffers(file_.get()))
    throw std::runtime_error(kExtractFailedText);
}

std::string ReadSmallFile(const std::wstring& path) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size = {};
  if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > kReadLimit) return {};
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD read = 0;
  if (!bytes.empty() &&
      !ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return {};
  bytes.resize(read);
  return bytes;
}

void WriteSmallFile(const std::wstring& path, const std::string& bytes, DWORD attributes) {
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, attributes,
                              nullptr));
  DWORD written = 0;
  if (!file || !WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                          nullptr) ||
      written != bytes.size())
    throw std::runtime_error(kExtractFailedText);
}
