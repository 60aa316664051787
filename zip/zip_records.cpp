#include "zip/zip_records.h"

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr size_t kDirectoryRecordSize = 46;
constexpr uint16_t kZip64ExtraId = 0x0001;
constexpr uint16_t kNoShortCount = 0xFFFF;
constexpr uint32_t kNoShortValue = 0xFFFFFFFF;

constexpr uint16_t kFlagMaskedHeaders = 0x2000;

uint64_t ReadLittleEndian(const std::string& bytes, size_t at, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}
uint16_t U16(const std::string& b, size_t at) { return uint16_t(ReadLittleEndian(b, at, 2)); }
uint32_t U32(const std::string& b, size_t at) { return uint32_t(ReadLittleEndian(b, at, 4)); }
uint64_t U64(const std::string& b, size_t at) { return ReadLittleEndian(b, at, 8); }

bool DirectoryFits(const ZipEnd& end) {
  return end.directoryOffset <= end.directoryLimit &&
         end.directorySize <= end.directoryLimit - end.directoryOffset &&
         end.entryCount <= end.directorySize / kDirectoryRecordSize;
}

// Replaces the values that the short record marks as too large with those of the Zip64
// extra field, which holds exactly those values, in this order.
bool ApplyZip64Extra(const std::string& extra, ZipEntryRecord& entry, uint16_t startDisk) {
  const bool needed = entry.uncompressedSize == kNoShortValue ||
                      entry.compressedSize == kNoShortValue ||
                      entry.localHeaderOffset == kNoShortValue || startDisk == kNoShortCount;
  for (size_t at = 0; at + 4 <= extra.size();) {
    const uint16_t id = U16(extra, at);
    const size_t size = U16(extra, at + 2);
    if (at + 4 + size > extra.size()) return false;
    if (id == kZip64ExtraId) {
      size_t field = at + 4;
      const size_t fieldEnd = field + size;
      for (uint64_t* value :
           {&entry.uncompressedSize, &entry.compressedSize, &entry.localHeaderOffset}) {
        if (*value != kNoShortValue) continue;
        if (field + 8 > fieldEnd) return false;
        *value = U64(extra, field);
        field += 8;
      }
      return startDisk != kNoShortCount || (field + 4 <= fieldEnd && U32(extra, field) == 0);
    }
    at += 4 + size;
  }
  return !needed;
}

}  // namespace

std::optional<ZipEnd> ParseEndRecord(const std::string& tail, uint64_t fileSize) {
  if (tail.size() < kEndRecordSize || tail.size() > fileSize) return std::nullopt;
  const uint64_t tailOffset = fileSize - tail.size();
  // The end record is the one whose comment reaches exactly to the end of the file.
  for (size_t at = tail.size() - kEndRecordSize + 1; at-- > 0;) {
    if (U32(tail, at) != kEndSignature) continue;
    if (at + kEndRecordSize + U16(tail, at + 20) != tail.size()) continue;

    ZipEnd end;
    end.directoryLimit = tailOffset + at;
    if (at >= kZip64LocatorSize && U32(tail, at - kZip64LocatorSize) == kZip64LocatorSignature) {
      const size_t locator = at - kZip64LocatorSize;
      const uint64_t zip64End = U64(tail, locator + 8);
      const uint64_t locatorOffset = tailOffset + locator;
      if (U32(tail, locator + 4) != 0 || U32(tail, locator + 16) > 1) return std::nullopt;
      if (zip64End > locatorOffset || locatorOffset - zip64End < kZip64EndRecordSize)
        return std::nullopt;
      end.zip64EndOffset = zip64End;
      end.directoryLimit = zip64End;
      return end;  // the counts come from the Zip64 end record
    }
    const uint16_t disk = U16(tail, at + 4), directoryDisk = U16(tail, at + 6);
    const uint16_t entriesHere = U16(tail, at + 8);
    end.entryCount = U16(tail, at + 10);
    end.directorySize = U32(tail, at + 12);
    end.directoryOffset = U32(tail, at + 16);
    if (disk != 0 || directoryDisk != 0 || entriesHere != end.entryCount) return std::nullopt;
    if (!DirectoryFits(end)) return std::nullopt;
    return end;
  }
  return std::nullopt;
}

bool ApplyZip64EndRecord(const std::string& record, ZipEnd& end) {
  if (record.size() < kZip64EndRecordSize || U32(record, 0) != kZip64EndSignature) return false;
  if (U32(record, 16) != 0 || U32(record, 20) != 0) return false;  // disk numbers
  if (U64(record, 24) != U64(record, 32)) return false;            // entries on this disk
  end.entryCount = U64(record, 32);
  end.directorySize = U64(record, 40);
  end.directoryOffset = U64(record, 48);
  return DirectoryFits(end);
}

std::optional<std::vector<ZipEntryRecord>> ParseCentralDirectory(const std::string& directory,
                                                                 uint64_t entryCount) {
  if (entryCount > directory.size() / kDirectoryRecordSize) return std::nullopt;
  std::vector<ZipEntryRecord> entries;
  entries.reserve(static_cast<size_t>(entryCount));
  size_t at = 0;
  for (uint64_t i = 0; i < entryCount; ++i) {
    if (directory.size() - at < kDirectoryRecordSize || U32(directory, at) != kDirectorySignature)
      return std::nullopt;
    const size_t nameSize = U16(directory, at + 28), extraSize = U16(directory, at + 30);
    const size_t commentSize = U16(directory, at + 32);
    const size_t recordSize = kDirectoryRecordSize + nameSize + extraSize + commentSize;
    if (directory.size() - at < recordSize) return std::nullopt;

    ZipEntryRecord entry;
    entry.flags = U16(directory, at + 8);
    entry.method = U16(directory, at + 10);
    entry.dosTime = U16(directory, at + 12);
    entry.dosDate = U16(directory, at + 14);
    entry.crc = U32(directory, at + 16);
    entry.compressedSize = U32(directory, at + 20);
    entry.uncompressedSize = U32(directory, at + 24);
    entry.localHeaderOffset = U32(directory, at + 42);
    entry.name = directory.substr(at + kDirectoryRecordSize, nameSize);
    const uint16_t startDisk = U16(directory, at + 34);
    const std::string extra = directory.substr(at + kDirectoryRecordSize + nameSize, extraSize);
    if (!ApplyZip64Extra(extra, entry, startDisk)) return std::nullopt;
    if (startDisk != 0 && startDisk != kNoShortCount) return std::nullopt;
    entries.push_back(std::move(entry));
    at += recordSize;
  }
  return entries;
}

std::optional<uint64_t> LocalDataOffset(const std::string& header, const ZipEntryRecord& entry,
                                        uint64_t directoryOffset) {
  if (header.size() < kLocalHeaderSize || U32(header, 0) != kLocalSignature) return std::nullopt;
  const uint16_t flags = U16(header, 6);
  if (U16(header, 8) != entry.method || (flags & kFlagEncrypted) != (entry.flags & kFlagEncrypted))
    return std::nullopt;
  const uint64_t headerSize = kLocalHeaderSize + U16(header, 26) + U16(header, 28);
  if (entry.localHeaderOffset > directoryOffset ||
      headerSize > directoryOffset - entry.localHeaderOffset ||
      entry.compressedSize > directoryOffset - entry.localHeaderOffset - headerSize)
    return std::nullopt;
  return entry.localHeaderOffset + headerSize;
}

bool IsSupportedEntry(const ZipEntryRecord& entry) {
  if (entry.flags & (kFlagEncrypted | kFlagStrongEncryption | kFlagMaskedHeaders)) return false;
  if (entry.method == kMethodStored) return entry.compressedSize == entry.uncompressedSize;
  return entry.method == kMethodDeflate;
}
