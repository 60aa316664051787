#include "net/json_fields.h"

#include <cwchar>

#include "common/code_pages.h"

namespace {

constexpr char kJsonWhiteSpace[] = " \t\r\n";
constexpr size_t kUnicodeEscapeLength = 6;  // \uXXXX

bool IsHighSurrogate(unsigned long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(unsigned long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// True when a complete \uXXXX escape starts at index.
bool HasUnicodeEscape(const std::string& raw, size_t index) {
  return index + kUnicodeEscapeLength <= raw.size() && raw[index] == '\\' &&
         raw[index + 1] == 'u';
}

// The code unit of the \uXXXX escape at index: the four characters read as hexadecimal up
// to the first one that is not a digit, low 16 bits.
wchar_t UnicodeEscapeUnit(const std::string& raw, size_t index) {
  wchar_t digits[5] = {};
  for (size_t i = 0; i < 4; ++i) digits[i] = static_cast<unsigned char>(raw[index + 2 + i]);
  return static_cast<wchar_t>(std::wcstoul(digits, nullptr, 16) & 0xFFFF);
}

char SimpleEscape(char c) {
  switch (c) {
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    default: return c;  // \" \/ \\ and unknown escapes give the character itself
  }
}

}  // namespace

size_t ScanJsonString(const std::string& text, size_t start, std::string& raw) {
  raw.clear();
  bool escaped = false;
  size_t i = start;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '"' && !escaped) return i;
    raw += c;
    escaped = c == '\\' && !escaped;
  }
  return i;
}

std::wstring DecodeJsonString(const std::string& raw) {
  std::string utf8;
  utf8.reserve(raw.size());
  size_t i = 0;
  while (i < raw.size()) {
    if (raw[i] != '\\' || i + 1 == raw.size()) {
      utf8 += raw[i++];
    } else if (raw[i + 1] != 'u') {
      utf8 += SimpleEscape(raw[i + 1]);
      i += 2;
    } else if (!HasUnicodeEscape(raw, i)) {
      i += 2;  // too short to be an escape: the rest is copied as it stands
    } else {
      std::wstring units(1, UnicodeEscapeUnit(raw, i));
      i += kUnicodeEscapeLength;
      if (IsHighSurrogate(units[0]) && HasUnicodeEscape(raw, i) &&
          IsLowSurrogate(UnicodeEscapeUnit(raw, i))) {
        units += UnicodeEscapeUnit(raw, i);
        i += kUnicodeEscapeLength;
      }
      utf8 += WideToUtf8(units);  // a lone surrogate half becomes U+FFFD
    }
  }
  return Utf8ToWide(utf8);
}

std::wstring ReadJsonStringField(const std::string& text, const std::string& key) {
  const std::string needle = '"' + key + '"';
  const size_t found = text.find(needle);
  if (found == std::string::npos) return {};
  const size_t colon = text.find(':', found + needle.size());
  if (colon == std::string::npos) return {};
  // Only a string value counts: after null, a number or an object the key is absent.
  const size_t value = text.find_first_not_of(kJsonWhiteSpace, colon + 1);
  if (value == std::string::npos || text[value] != '"') return {};
  std::string raw;
  ScanJsonString(text, value + 1, raw);
  return DecodeJsonString(raw);
}
