// A whole archive file: its records read as the zip reader reads them before extracting.
#include <algorithm>

#include "tests/fuzz/fuzz_support.h"
#include "zip/zip_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file = Bytes(data, size);
  const size_t tailSize = std::min(size, kTailSize);
  auto end = ParseEndRecord(file.substr(size - tailSize), size);
  if (!end) return 0;
  FUZZ_CHECK(end->directoryLimit <= size);
  if (end->zip64EndOffset) {
    FUZZ_CHECK(*end->zip64EndOffset + kZip64EndRecordSize <= size);
    if (!ApplyZip64EndRecord(file.substr(*end->zip64EndOffset, kZip64EndRecordSize), *end))
      return 0;
  }
  FUZZ_CHECK(end->directoryOffset <= end->directoryLimit);
  FUZZ_CHECK(end->directorySize <= end->directoryLimit - end->directoryOffset);
  const auto entries =
      ParseCentralDirectory(file.substr(end->directoryOffset, end->directorySize), end->entryCount);
  if (!entries) return 0;
  FUZZ_CHECK(entries->size() == end->entryCount);
  for (const ZipEntryRecord& entry : *entries) {
    if (!IsSupportedEntry(entry) || entry.localHeaderOffset > size) continue;
    const auto dataOffset = LocalDataOffset(file.substr(entry.localHeaderOffset, kLocalHeaderSize),
                                            entry, end->directoryOffset);
    if (!dataOffset) continue;
    FUZZ_CHECK((entry.flags & 1) == 0);  // never encrypted
    FUZZ_CHECK(*dataOffset >= entry.localHeaderOffset + kLocalHeaderSize);
    FUZZ_CHECK(*dataOffset <= end->directoryOffset);
    FUZZ_CHECK(entry.compressedSize <= end->directoryOffset - *dataOffset);
  }
  return 0;
}
