// Numbers as text for file names and records, and decimals read back strictly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// In place of std::to_wstring, which brings the printf family into the executable.
inline std::wstring DecimalText(uint64_t n) {
  wchar_t digits[20];
  wchar_t* first = digits + 20;
  do *--first = static_cast<wchar_t>(L'0' + n % 10);
  while ((n /= 10) != 0);
  return std::wstring(first, digits + 20);
}

// The decimal that starts at `at`, which moves past its digits: one spelling only, so none
// for no digit, a leading zero or a value beyond 64 bits.
inline std::optional<uint64_t> ReadDecimal(const std::wstring& text, size_t& at) {
  const size_t start = at;
  uint64_t n = 0;
  for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
    const unsigned digit = static_cast<unsigned>(text[at] - L'0');
    if (n > (UINT64_MAX - digit) / 10) return std::nullopt;
    n = n * 10 + digit;
  }
  if (at == start || (text[start] == L'0' && at - start > 1)) return std::nullopt;
  return n;
}
