#include "net/resume_record.h"

#include "common/decimal_text.h"

namespace {

constexpr char kHeader[] = "Tovarelin resume 1\t";
constexpr size_t kFields = 4;  // after the header

bool IsPrintable(unsigned c) { return c >= 0x20 && c <= 0x7E; }

}  // namespace

std::string FormatResumeRecord(const std::wstring& validator, uint64_t total,
                               const std::wstring& sha256, const std::wstring& signature) {
  if (validator.empty() || total == 0) return {};
  std::string text = kHeader;
  const std::wstring decimal = DecimalText(total);
  for (const std::wstring* field : {&validator, &decimal, &sha256, &signature}) {
    for (const wchar_t c : *field) {
      if (!IsPrintable(c)) return {};
      text += static_cast<char>(c);
    }
    text += '\t';
  }
  text.back() = '\n';
  return text;
}

std::optional<ResumeRecord> ReadResumeRecord(const std::string& text) {
  if (text.compare(0, sizeof kHeader - 1, kHeader) != 0 || text.back() != '\n')
    return std::nullopt;
  std::wstring fields[kFields];
  size_t field = 0;
  for (size_t i = sizeof kHeader - 1; i + 1 < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\t' && ++field < kFields) continue;
    if (!IsPrintable(c)) return std::nullopt;  // a tab too many among them
    fields[field] += static_cast<wchar_t>(c);
  }
  size_t at = 0;
  const std::optional<uint64_t> total = ReadDecimal(fields[1], at);
  if (field + 1 != kFields || fields[0].empty() || !total || *total == 0 ||
      at != fields[1].size())
    return std::nullopt;
  return ResumeRecord{fields[0], *total, fields[2], fields[3]};
}
