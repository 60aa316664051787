// The records of a zip archive, read from bytes already in memory: the end of the central
// directory (and its Zip64 form), the central directory's entries and the local headers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

constexpr size_t kEndRecordSize = 22;
constexpr size_t kMaxCommentSize = 0xFFFF;
constexpr size_t kZip64LocatorSize = 20;
constexpr size_t kZip64EndRecordSize = 56;
constexpr size_t kLocalHeaderSize = 30;
// Enough of the archive's tail to hold the end record, its comment and the Zip64 locator.
constexpr size_t kTailSize = kEndRecordSize + kMaxCommentSize + kZip64LocatorSize;

constexpr uint16_t kMethodStored = 0;
constexpr uint16_t kMethodDeflate = 8;
constexpr uint16_t kFlagEncrypted = 0x0001;
constexpr uint16_t kFlagStrongEncryption = 0x0040;
constexpr uint16_t kFlagUtf8Name = 0x0800;

struct ZipEnd {
  uint64_t entryCount = 0;
  uint64_t directorySize = 0;
  uint64_t directoryOffset = 0;
  // Start of the records that follow the central directory; it must end there.
  uint64_t directoryLimit = 0;
  // Set when a Zip64 locator precedes the end record.
  std::optional<uint64_t> zip64EndOffset;
};

struct ZipEntryRecord {
  std::string name;  // the stored bytes
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t dosTime = 0;
  uint16_t dosDate = 0;
  uint32_t crc = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  uint64_t localHeaderOffset = 0;
};

// tail: the last min(fileSize, kTailSize) bytes of an archive of fileSize bytes.
std::optional<ZipEnd> ParseEndRecord(const std::string& tail, uint64_t fileSize);
// Takes the counts and offsets from the Zip64 end record (kZip64EndRecordSize bytes read at
// zip64EndOffset); false when it is not one or names another disk.
bool ApplyZip64EndRecord(const std::string& record, ZipEnd& end);
// All entries of the central directory, or nothing when it does not hold entryCount whole ones.
std::optional<std::vector<ZipEntryRecord>> ParseCentralDirectory(const std::string& directory,
                                                                 uint64_t entryCount);
// Offset of the entry's data, from its local header (kLocalHeaderSize bytes at its offset);
// nothing when the header does not match the directory's record or the data would not end
// before the central directory at directoryOffset.
std::optional<uint64_t> LocalDataOffset(const std::string& header, const ZipEntryRecord& entry,
                                        uint64_t directoryOffset);
// Stored or deflated, and not encrypted.
bool IsSupportedEntry(const ZipEntryRecord& entry);
