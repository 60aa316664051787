// Real zip archives for the tests, well-formed or broken on purpose.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/handles.h"

// The content of generated entries: numbered 16-byte lines, any part of it on demand.
void FillPattern(uint64_t offset, char* out, size_t size);

struct ZipEntry {
  static ZipEntry File(std::string name, std::string data);
  static ZipEntry Folder(std::string name);  // the name ends in '/'
  // size bytes of FillPattern, deflated and streamed, with a data descriptor.
  static ZipEntry Generated(std::string name, uint64_t size);

  ZipEntry& Deflated() { return deflate = true, *this; }
  ZipEntry& Utf8() { return utf8 = true, *this; }
  ZipEntry& WithDescriptor() { return descriptor = true, *this; }
  ZipEntry& Zip64() { return zip64 = true, *this; }
  // Faults: the records say so, the data stays as it is.
  ZipEntry& Encrypted() { return encrypted = true, *this; }
  ZipEntry& RecordedMethod(uint16_t method) { return recordedMethod = method, *this; }
  ZipEntry& WrongCrc() { return wrongCrc = true, *this; }
  ZipEntry& RecordedSize(uint64_t size) { return recordedSize = size, *this; }

  std::string name, data;
  uint64_t generatedSize = 0;
  bool generated = false, deflate = false, utf8 = false, descriptor = false, zip64 = false;
  bool encrypted = false, wrongCrc = false;
  int recordedMethod = -1;
  int64_t recordedSize = -1;
};

class ZipBuilder {
 public:
  ZipBuilder() = default;                         // the archive is kept in memory
  explicit ZipBuilder(const std::wstring& path);  // the archive is streamed into the file

  ZipBuilder& Add(const ZipEntry& entry);
  ZipBuilder& WithZip64End() { return zip64End_ = true, *this; }
  ZipBuilder& WithComment(std::string comment) { return comment_ = std::move(comment), *this; }
  // Writes the central directory and the end records; returns the archive in memory mode.
  std::string Finish();
  // Where the data of the index-th entry starts.
  uint64_t DataOffset(size_t index) const { return dataOffsets_.at(index); }

 private:
  struct Written {
    ZipEntry entry;
    uint32_t crc;
    uint64_t compressedSize, uncompressedSize, localOffset;
  };
  void Emit(const std::string& bytes);
  void Flush();
  std::string LocalHeader(const ZipEntry& entry, uint32_t crc, uint64_t compressed,
                          uint64_t uncompressed) const;
  std::string DirectoryRecord(const Written& written) const;
  void EmitGenerated(const ZipEntry& entry);

  FileHandle file_;
  std::string pending_;
  uint64_t offset_ = 0;
  std::vector<Written> written_;
  std::vector<uint64_t> dataOffsets_;
  bool zip64End_ = false;
  std::string comment_;
};

// The archive with the bits of mask flipped in the byte at offset.
std::string FlipByte(std::string bytes, uint64_t offset, unsigned char mask = 0x5A);
