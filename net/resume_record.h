// What is kept beside a package whose download ended short, so that a later run can ask for the
// rest of the same package: written before the body's first byte, read by that run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ResumeRecord {
  std::wstring validator;  // the response's strong ETag, else its Last-Modified
  uint64_t total = 0;      // the package's whole length
  std::wstring sha256, signature;  // what the settings published with it; empty for none
};

// One line: a header, then each field after a tab, the total in decimal; empty when a record
// cannot be kept (no validator, no total, a character outside printable ASCII).
std::string FormatResumeRecord(const std::wstring& validator, uint64_t total,
                               const std::wstring& sha256, const std::wstring& signature);
// The record of a text in exactly that form; none for anything else, a write cut short among
// it. The validator goes into a request header: nothing but printable ASCII passes.
std::optional<ResumeRecord> ReadResumeRecord(const std::string& text);
