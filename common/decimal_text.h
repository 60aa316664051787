// Numbers as text for file names.
#pragma once

#include <cstdint>
#include <string>

// In place of std::to_wstring, which brings the printf family into the executable.
inline std::wstring DecimalText(uint64_t n) {
  std::wstring digits;
  do digits.insert(digits.begin(), static_cast<wchar_t>(L'0' + n % 10));
  while ((n /= 10) != 0);
  return digits;
}
