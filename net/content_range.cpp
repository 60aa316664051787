#include "net/content_range.h"

#include "common/decimal_text.h"

std::optional<ByteRange> ReadContentRange(const std::wstring& value) {
  constexpr wchar_t kUnit[] = L"bytes ";
  constexpr wchar_t kSeparators[] = L"-/";
  if (value.compare(0, 6, kUnit) != 0) return std::nullopt;
  uint64_t numbers[3];
  size_t at = 6;
  for (size_t i = 0; i < 3; ++i) {
    const std::optional<uint64_t> number = ReadDecimal(value, at);
    if (!number || (i < 2 && (at == value.size() || value[at++] != kSeparators[i])))
      return std::nullopt;
    numbers[i] = *number;
  }
  if (at != value.size() || numbers[0] > numbers[1] || numbers[1] >= numbers[2])
    return std::nullopt;
  return ByteRange{numbers[0], numbers[1], numbers[2]};
}
