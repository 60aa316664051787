#include "support/zip_builder.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

constexpr uint32_t kLocalSignature = 0x04034b50;
constexpr uint32_t kDescriptorSignature = 0x08074b50;
constexpr uint32_t kDirectorySignature = 0x02014b50;
constexpr uint32_t kZip64EndSignature = 0x06064b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kTooLarge = 0xFFFFFFFF;
constexpr uint16_t kVersion = 45;
// 2021-06-15 12:34:56 in MS-DOS form.
constexpr uint16_t kDosTime = (12 << 11) | (34 << 5) | (56 / 2);
constexpr uint16_t kDosDate = ((2021 - 1980) << 9) | (6 << 5) | 15;
constexpr size_t kChunk = 1 << 20;

void Put(std::string& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint16_t Flags(const ZipEntry& entry) {
  return (entry.encrypted ? 0x0001 : 0) | (entry.descriptor ? 0x0008 : 0) |
         (entry.utf8 ? 0x0800 : 0);
}
uint16_t Method(const ZipEntry& entry) {
  if (entry.recordedMethod >= 0) return static_cast<uint16_t>(entry.recordedMethod);
  return entry.deflate ? 8 : 0;
}

// A raw deflate stream, ended on every path.
class Deflater {
 public:
  explicit Deflater(int level) {
    if (deflateInit2(&stream_, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
      throw std::runtime_error("deflateInit2");
  }
  ~Deflater() { deflateEnd(&stream_); }
  std::string Compress(const char* data, size_t size, bool last) {
    std::string out;
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(size);
    char buffer[65536];
    do {
      stream_.next_out = reinterpret_cast<Bytef*>(buffer);
      stream_.avail_out = sizeof buffer;
      deflate(&stream_, last ? Z_FINISH : Z_NO_FLUSH);
      out.append(buffer, sizeof buffer - stream_.avail_out);
    } while (stream_.avail_out == 0);
    return out;
  }

 private:
  z_stream stream_ = {};
};

}  // namespace

void FillPattern(uint64_t offset, char* out, size_t size) {
  char line[17];
  for (size_t i = 0; i < size;) {
    const uint64_t at = offset + i;
    std::snprintf(line, sizeof line, "%015llu\n", static_cast<unsigned long long>(at / 16));
    const size_t from = at % 16, count = std::min<size_t>(16 - from, size - i);
    std::copy(line + from, line + from + count, out + i);
    i += count;
  }
}

ZipEntry ZipEntry::File(std::string name, std::string data) {
  ZipEntry entry;
  entry.name = std::move(name);
  entry.data = std::move(data);
  return entry;
}
ZipEntry ZipEntry::Folder(std::string name) { return File(std::move(name), {}); }
ZipEntry ZipEntry::Generated(std::string name, uint64_t size) {
  ZipEntry entry = File(std::move(name), {});
  entry.generated = entry.deflate = entry.descriptor = true;
  entry.generatedSize = size;
  return entry;
}

ZipBuilder::ZipBuilder(const std::wstring& path)
    : file_(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr)) {
  if (!file_) throw std::runtime_error("cannot create the archive");
}

void ZipBuilder::Emit(const std::string& bytes) {
  pending_ += bytes;
  offset_ += bytes.size();
  if (file_ && pending_.size() >= kChunk) Flush();
}

void ZipBuilder::Flush() {
  DWORD done = 0;
  if (!pending_.empty() &&
      !WriteFile(file_.get(), pending_.data(), static_cast<DWORD>(pending_.size()), &done, nullptr))
    throw std::runtime_error("cannot write the archive");
  pending_.clear();
}

std::string ZipBuilder::LocalHeader(const ZipEntry& entry, uint32_t crc, uint64_t compressed,
                                    uint64_t uncompressed) const {
  std::string extra;
  if (entry.zip64) {
    Put(extra, 0x0001, 2);
    Put(extra, 16, 2);
    Put(extra, entry.descriptor ? 0 : uncompressed, 8);
    Put(extra, entry.descriptor ? 0 : compressed, 8);
  }
  std::string out;
  Put(out, kLocalSignature, 4);
  Put(out, kVersion, 2);
  Put(out, Flags(entry), 2);
  Put(out, Method(entry), 2);
  Put(out, kDosTime, 2);
  Put(out, kDosDate, 2);
  Put(out, entry.descriptor ? 0 : crc, 4);
  Put(out, entry.zip64 ? kTooLarge : entry.descriptor ? 0 : compressed, 4);
  Put(out, entry.zip64 ? kTooLarge : entry.descriptor ? 0 : uncompressed, 4);
  Put(out, entry.name.size(), 2);
  Put(out, extra.size(), 2);
  return out + entry.name + extra;
}

void ZipBuilder::EmitGenerated(const ZipEntry& entry) {
  Deflater deflater(Z_BEST_SPEED);
  std::unique_ptr<char[]> chunk(new char[kChunk]);
  uLong crc = crc32(0, nullptr, 0);
  uint64_t compressed = 0;
  for (uint64_t at = 0; at < entry.generatedSize;) {
    const size_t size = static_cast<size_t>(std::min<uint64_t>(kChunk, entry.generatedSize - at));
    FillPattern(at, chunk.get(), size);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(chunk.get()), static_cast<uInt>(size));
    at += size;
    const std::string out = deflater.Compress(chunk.get(), size, at == entry.generatedSize);
    compressed += out.size();
    Emit(out);
  }
  written_.push_back({entry, static_cast<uint32_t>(crc), compressed, entry.generatedSize, 0});
}

ZipBuilder& ZipBuilder::Add(const ZipEntry& entry) {
  const uint64_t localOffset = offset_;
  if (entry.generated) {
    Emit(LocalHeader(entry, 0, 0, 0));
    dataOffsets_.push_back(offset_);
    EmitGenerated(entry);
  } else {
    const uLong realCrc =
        crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(entry.data.data()),
              static_cast<uInt>(entry.data.size()));
    const std::string stored =
        entry.deflate
            ? Deflater(Z_DEFAULT_COMPRESSION).Compress(entry.data.data(), entry.data.size(), true)
            : entry.data;
    const uint32_t crc = static_cast<uint32_t>(realCrc) ^ (entry.wrongCrc ? 1u : 0u);
    const uint64_t size =
        entry.recordedSize >= 0 ? static_cast<uint64_t>(entry.recordedSize) : entry.data.size();
    Emit(LocalHeader(entry, crc, stored.size(), size));
    dataOffsets_.push_back(offset_);
    Emit(stored);
    written_.push_back({entry, crc, stored.size(), size, 0});
  }
  Written& written = written_.back();
  written.localOffset = localOffset;
  if (entry.descriptor) {
    std::string descriptor;
    Put(descriptor, kDescriptorSignature, 4);
    Put(descriptor, written.crc, 4);
    Put(descriptor, written.compressedSize, entry.zip64 ? 8 : 4);
    Put(descriptor, written.uncompressedSize, entry.zip64 ? 8 : 4);
    Emit(descriptor);
  }
  return *this;
}

std::string ZipBuilder::DirectoryRecord(const Written& written) const {
  const ZipEntry& entry = written.entry;
  std::string extra;
  if (entry.zip64) {
    Put(extra, 0x0001, 2);
    Put(extra, 24, 2);
    Put(extra, written.uncompressedSize, 8);
    Put(extra, written.compressedSize, 8);
    Put(extra, written.localOffset, 8);
  }
  std::string out;
  Put(out, kDirectorySignature, 4);
  Put(out, kVersion, 2);
  Put(out, kVersion, 2);
  Put(out, Flags(entry), 2);
  Put(out, Method(entry), 2);
  Put(out, kDosTime, 2);
  Put(out, kDosDate, 2);
  Put(out, written.crc, 4);
  Put(out, entry.zip64 ? kTooLarge : written.compressedSize, 4);
  Put(out, entry.zip64 ? kTooLarge : written.uncompressedSize, 4);
  Put(out, entry.name.size(), 2);
  Put(out, extra.size(), 2);
  Put(out, 0, 2);  // comment
  Put(out, 0, 2);  // disk
  Put(out, 0, 2);  // internal attributes
  Put(out, entry.name.empty() || entry.name.back() != '/' ? 0 : 0x10, 4);
  Put(out, entry.zip64 ? kTooLarge : written.localOffset, 4);
  return out + entry.name + extra;
}

std::string ZipBuilder::Finish() {
  const uint64_t directoryOffset = offset_;
  for (const Written& written : written_) Emit(DirectoryRecord(written));
  const uint64_t directorySize = offset_ - directoryOffset;
  const uint64_t count = written_.size();
  if (zip64End_) {
    const uint64_t zip64EndOffset = offset_;
    std::string end;
    Put(end, kZip64EndSignature, 4);
    Put(end, 44, 8);
    Put(end, kVersion, 2);
    Put(end, kVersion, 2);
    Put(end, 0, 4);
    Put(end, 0, 4);
    Put(end, count, 8);
    Put(end, count, 8);
    Put(end, directorySize, 8);
    Put(end, directoryOffset, 8);
    Put(end, kZip64LocatorSignature, 4);
    Put(end, 0, 4);
    Put(end, zip64EndOffset, 8);
    Put(end, 1, 4);
    Emit(end);
  }
  std::string end;
  Put(end, kEndSignature, 4);
  Put(end, 0, 2);
  Put(end, 0, 2);
  Put(end, zip64End_ ? 0xFFFF : count, 2);
  Put(end, zip64End_ ? 0xFFFF : count, 2);
  Put(end, zip64End_ ? kTooLarge : directorySize, 4);
  Put(end, zip64End_ ? kTooLarge : directoryOffset, 4);
  Put(end, comment_.size(), 2);
  Emit(end + comment_);
  if (!file_) return std::move(pending_);
  Flush();
  file_.reset();
  return {};
}

std::string FlipByte(std::string bytes, uint64_t offset, unsigned char mask) {
  bytes.at(static_cast<size_t>(offset)) ^= static_cast<char>(mask);
  return bytes;
}
