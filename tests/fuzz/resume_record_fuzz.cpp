// The record kept beside a package whose download ended short, read back by the next run.
#include "net/resume_record.h"
#include "tests/fuzz/fuzz_support.h"

// What is accepted formats back to the same bytes: one spelling, printable ASCII, whole.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = Bytes(data, size);
  const std::optional<ResumeRecord> record = ReadResumeRecord(text);
  if (record)
    FUZZ_CHECK(FormatResumeRecord(record->validator, record->total, record->sha256,
                                  record->signature) == text);
  return 0;
}
