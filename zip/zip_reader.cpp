#include "zip/zip_reader.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <tuple>
#include <vector>

#include "common/folder_listing.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "zip/zip_names.h"
#include "zip/zip_records.h"

namespace {

// Large reads and writes keep the copy fast; fixed sizes keep memory flat for any entry.
constexpr DWORD kBufferSize = 1 << 20;

class ArchiveFile {
 public:
  explicit ArchiveFile(const std::wstring& path)
      : file_(OpenFileRetrying(path, GENERIC_READ, kShareAll, OPEN_EXISTING,
                               FILE_FLAG_SEQUENTIAL_SCAN)) {
    LARGE_INTEGER size = {};
    if (file_ && GetFileSizeEx(file_.get(), &size)) size_ = static_cast<uint64_t>(size.QuadPart);
  }

  explicit operator bool() const { return static_cast<bool>(file_); }
  uint64_t size() const { return size_; }

  bool Seek(uint64_t offset) {
    LARGE_INTEGER to = {};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) != FALSE;
  }
  // Exactly count bytes at the current position, or false.
  bool Read(char* buffer, DWORD count) {
    DWORD read = 0;
    return ReadFile(file_.get(), buffer, count, &read, nullptr) && read == count;
  }
  std::optional<std::string> ReadAt(uint64_t offset, uint64_t count) {
    if (offset > size_ || count > size_ - offset || !Seek(offset)) return std::nullopt;
    std::string bytes(static_cast<size_t>(count), '\0');
    for (size_t done = 0; done < bytes.size();) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kBufferSize));
      if (!Read(&bytes[done], chunk)) return std::nullopt;
      done += chunk;
    }
    return bytes;
  }

 private:
  FileHandle file_;
  uint64_t size_ = 0;
};

struct PlannedEntry {
  ZipEntryRecord record;
  EntryPath path;
  uint64_t dataOffset = 0;
};

struct Directory {
  std::vector<ZipEntryRecord> entries;
  uint64_t offset = 0;
};

std::optional<Directory> ReadDirectory(ArchiveFile& archive) {
  const uint64_t tailSize = std::min<uint64_t>(archive.size(), kTailSize);
  const auto tail = archive.ReadAt(archive.size() - tailSize, tailSize);
  if (!tail) return std::nullopt;
  auto end = ParseEndRecord(*tail, archive.size());
  if (!end) return std::nullopt;
  if (end->zip64EndOffset) {
    const auto record = archive.ReadAt(*end->zip64EndOffset, kZip64EndRecordSize);
    if (!record || !ApplyZip64EndRecord(*record, *end)) return std::nullopt;
  }
  const auto bytes = archive.ReadAt(end->directoryOffset, end->directorySize);
  if (!bytes) return std::nullopt;
  auto entries = ParseCentralDirectory(*bytes, end->entryCount);
  if (!entries) return std::nullopt;
  return Directory{std::move(*entries), end->directoryOffset};
}

// Everything that can be checked before writing is checked for every entry here, so a
// refused archive leaves no trace.
std::optional<std::vector<PlannedEntry>> PlanExtraction(ArchiveFile& archive,
                                                        size_t destinationLength) {
  auto directory = ReadDirectory(archive);
  if (!directory) return std::nullopt;
  std::vector<PlannedEntry> plan;
  plan.reserve(directory->entries.size());
  for (ZipEntryRecord& record : directory->entries) {
    if (!IsSupportedEntry(record)) return std::nullopt;
    auto path = SafeEntryPath(DecodeEntryName(record.name, (record.flags & kFlagUtf8Name) != 0));
    if (!path || !FitsPathLimits(destinationLength, *path)) return std::nullopt;
    const auto header = archive.ReadAt(record.localHeaderOffset, kLocalHeaderSize);
    const auto dataOffset = header ? LocalDataOffset(*header, record, directory->offset)
                                   : std::nullopt;
    if (!dataOffset) return std::nullopt;
    plan.push_back({std::move(record), std::move(*path), *dataOffset});
  }
  return plan;
}

// Writes an entry's bytes, refusing more than it declares, and keeps their CRC.
class CheckedOutput {
 public:
  CheckedOutput(HANDLE file, uint64_t expectedSize, const WrittenBytes& written)
      : file_(file), expected_(expectedSize), onWritten_(written) {}

  bool Write(const char* data, DWORD size) {
    if (size > expected_ - written_) return false;
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(data), size);
    written_ += size;
    DWORD done = 0;
    if (size == 0) return true;
    if (!WriteFile(file_, data, size, &done, nullptr) || done != size) return false;
    if (onWritten_) onWritten_(size);
    return true;
  }
  bool Matches(uint32_t crc) const { return written_ == expected_ && crc_ == crc; }

 private:
  HANDLE file_;
  uint64_t expected_;
  const WrittenBytes& onWritten_;
  uint64_t written_ = 0;
  uLong crc_ = crc32_z(0, nullptr, 0);
};

struct Buffers {
  std::unique_ptr<char[]> in{new char[kBufferSize]};
  std::unique_ptr<char[]> out{new char[kBufferSize]};
};

bool CopyStored(ArchiveFile& archive, uint64_t size, CheckedOutput& output, char* buffer) {
  for (uint64_t left = size; left > 0;) {
    const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(left, kBufferSize));
    if (!archive.Read(buffer, chunk) || !output.Write(buffer, chunk)) return false;
    left -= chunk;
  }
  return true;
}

// A raw deflate stream, ended on every path.
class Inflater {
 public:
  Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  explicit operator bool() const { return ready_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_ = {};
  bool ready_ = false;
};

bool CopyDeflated(ArchiveFile& archive, uint64_t compressedSize, CheckedOutput& output,
                  Buffers& buffers) {
  Inflater inflater;
  if (!inflater) return false;
  z_stream& stream = inflater.stream();
  uint64_t left = compressedSize;
  for (int status = Z_OK; status != Z_STREAM_END;) {
    if (stream.avail_in == 0 && left > 0) {
      const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(left, kBufferSize));
      if (!archive.Read(buffers.in.get(), chunk)) return false;
      stream.next_in = reinterpret_cast<Bytef*>(buffers.in.get());
      stream.avail_in = chunk;
      left -= chunk;
    }
    stream.next_out = reinterpret_cast<Bytef*>(buffers.out.get());
    stream.avail_out = kBufferSize;
    // Z_BUF_ERROR here means the data ended before the stream did.
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) return false;
    if (!output.Write(buffers.out.get(), kBufferSize - stream.avail_out)) return false;
  }
  return true;
}

void SetLastWriteTime(HANDLE file, const ZipEntryRecord& record) {
  FILETIME local = {}, utc = {};
  if (DosDateTimeToFileTime(record.dosDate, record.dosTime, &local) &&
      LocalFileTimeToFileTime(&local, &utc))
    SetFileTime(file, nullptr, nullptr, &utc);
}

// Replaces any file of the same name. A file whose data proves bad is removed again.
bool WriteEntry(ArchiveFile& archive, const PlannedEntry& entry, const std::wstring& destination,
                Buffers& buffers, const WrittenBytes& written) {
  const std::wstring& relative = entry.path.relative;
  if (entry.path.isFolder) return MakeFolders(destination, relative);
  const size_t separator = relative.rfind(L'\\');
  if (separator != std::wstring::npos && !MakeFolders(destination, relative.substr(0, separator)))
    return false;

  const std::wstring target = destination + L"\\" + relative;
  // Removing the old file rather than truncating it never writes through a link standing at
  // that name, nor waits for the flush some file systems make when a replaced file is closed.
  DeleteFileW(target.c_str());
  FileHandle file =
      OpenFileRetrying(target, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file) return false;
  const ZipEntryRecord& record = entry.record;
  CheckedOutput output(file.get(), record.uncompressedSize, written);
  bool copied = archive.Seek(entry.dataOffset);
  if (copied && record.method == kMethodStored)
    copied = CopyStored(archive, record.compressedSize, output, buffers.in.get());
  else if (copied)
    copied = CopyDeflated(archive, record.compressedSize, output, buffers);
  copied = copied && output.Matches(record.crc);
  if (copied) SetLastWriteTime(file.get(), record);
  file.reset();
  if (!copied) DeleteFileW(target.c_str());
  return copied;
}

// Windows compares file names by its own upper-case table; the invariant upper case of each
// side gives the same verdict.
std::wstring FileSystemCase(const std::wstring& name) {
  std::wstring upper(name);
  const int size = static_cast<int>(name.size());
  LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, name.data(), size, upper.data(), size,
                nullptr, nullptr, 0);
  return upper;
}

// Two entries that Windows would store as one: names equal ignoring case, unless both are
// folders. Only one of them could ever be in place.
bool HasCaseClash(const std::vector<PackageEntry>& entries) {
  std::vector<std::tuple<std::wstring, size_t, bool>> names;
  for (size_t i = 0; i < entries.size(); ++i)
    for (const std::wstring& path : entries[i].paths)
      names.emplace_back(FileSystemCase(path), i, entries[i].isFolder);
  std::sort(names.begin(), names.end());
  for (size_t k = 1; k < names.size(); ++k) {
    const auto& [name, index, isFolder] = names[k];
    const auto& [previousName, previousIndex, previousIsFolder] = names[k - 1];
    if (name == previousName && index != previousIndex && !(isFolder && previousIsFolder))
      return true;
  }
  return false;
}

}  // namespace

bool ExtractZipArchive(const std::wstring& zipPath, const std::wstring& destinationFolder,
                       const WrittenBytes& written) {
  if (!IsFolder(destinationFolder)) return false;
  ArchiveFile archive(zipPath);
  if (!archive) return false;
  const auto plan = PlanExtraction(archive, destinationFolder.size());
  if (!plan) return false;
  Buffers buffers;
  for (const PlannedEntry& entry : *plan)
    if (!WriteEntry(archive, entry, destinationFolder, buffers, written)) return false;
  return true;
}

std::optional<std::vector<ZipEntryRecord>> ReadZipDirectory(const std::wstring& zipPath) {
  ArchiveFile archive(zipPath);
  if (!archive) return std::nullopt;
  auto directory = ReadDirectory(archive);
  if (!directory) return std::nullopt;
  return std::move(directory->entries);
}

std::optional<std::vector<PackageEntry>> ListZipEntries(const std::wstring& zipPath,
                                                        size_t destinationLength) {
  const auto records = ReadZipDirectory(zipPath);
  if (!records) return std::nullopt;
  std::vector<PackageEntry> entries;
  entries.reserve(records->size());
  for (const ZipEntryRecord& record : *records) {
    if (!IsSupportedEntry(record)) return std::nullopt;
    PackageEntry entry{{}, false, record.uncompressedSize, record.crc};
    for (const std::wstring& name : EntryNameSpellings(record.name, record.flags & kFlagUtf8Name)) {
      auto path = SafeEntryPath(name);
      if (!path) continue;
      if (!FitsPathLimits(destinationLength, *path)) return std::nullopt;
      entry.isFolder = path->isFolder;
      entry.paths.push_back(std::move(path->relative));
    }
    if (entry.paths.empty()) return std::nullopt;
    entries.push_back(std::move(entry));
  }
  if (HasCaseClash(entries)) return std::nullopt;
  return entries;
}
