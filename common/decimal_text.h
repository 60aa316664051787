// Numbers as text for file names.
#pragma once

#include <cstdint>
#include <string>

// In place of std::to_wstring, which brings the printf family into the executable.
inline std::wstring DecimalText(uint64_t n) {
  wchar_t digits[20];
  wchar_t* first = digits + 20;
  do *--first = static_cast<wchar_t>(L'0' + n % 10);
  while ((n /= 10) != 0);
  return std::wstring(first, digits + 20);
}
