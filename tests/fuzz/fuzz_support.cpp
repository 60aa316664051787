#include "tests/fuzz/fuzz_support.h"

#include <cctype>

#include "common/code_pages.h"
#include "zip/zip_names.h"

// Native stand-ins for common/code_pages.cpp in UTF-8, with MultiByteToWideChar's and
// WideCharToMultiByte's documented behaviour for CP_UTF8 and no flags: each invalid or unpaired piece becomes
// U+FFFD. Text stays in UTF-16 code units, as with Windows' 16-bit wchar_t.
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf16(std::wstring& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<wchar_t>(c);
  } else {
    out += static_cast<wchar_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<wchar_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
    return;
  }
  constexpr unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
  out += static_cast<char>(kLead[tail] | (c >> (6 * tail)));
  for (int i = tail - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((c >> (6 * i)) & 0x3F));
}

}  // namespace

// Other code pages stay Windows' own: no harness reads them.
std::wstring DecodeInCodePage(const std::string& bytes, unsigned codePage) {
  if (codePage != kUtf8CodePage) std::abort();
  std::wstring text;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char lead = bytes[i];
    const int tail = lead < 0x80 ? 0 : lead >= 0xC2 && lead <= 0xDF ? 1
                   : lead >= 0xE0 && lead <= 0xEF                  ? 2
                   : lead >= 0xF0 && lead <= 0xF4                  ? 3
                                                                   : -1;
    if (tail < 0) {
      AppendUtf16(text, kReplacement), ++i;
      continue;
    }
    char32_t c = tail == 0 ? lead : lead & (0x3F >> tail);
    // The second byte's range excludes overlong forms, surrogates and values past U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    size_t used = 1;
    for (; used <= static_cast<size_t>(tail) && i + used < bytes.size(); ++used) {
      const unsigned char b = bytes[i + used];
      if (b < (used == 1 ? low : 0x80) || b > (used == 1 ? high : 0xBF)) break;
      c = c << 6 | (b & 0x3F);
    }
    AppendUtf16(text, used == static_cast<size_t>(tail) + 1 ? c : kReplacement);
    i += used;
  }
  return text;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    const char32_t unit = static_cast<char32_t>(text[i]) & 0xFFFF;
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const char32_t next = i + 1 < text.size() ? static_cast<char32_t>(text[i + 1]) & 0xFFFF : 0;
    if (high && next >= 0xDC00 && next <= 0xDFFF) {
      AppendUtf8(bytes, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
      ++i;
    } else {
      AppendUtf8(bytes, unit >= 0xD800 && unit <= 0xDFFF ? kReplacement : unit);
    }
  }
  return bytes;
}

std::string Bytes(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

std::wstring Utf16Units(const std::string& bytes) {
  std::wstring units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    units += static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
  return units;
}

bool HasLoneSurrogate(const std::wstring& units) {
  for (size_t i = 0; i < units.size(); ++i) {
    const bool high = units[i] >= 0xD800 && units[i] <= 0xDBFF;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) ++i;
    else if (units[i] >= 0xD800 && units[i] <= 0xDFFF) return true;
  }
  return false;
}

bool StartsWithAscii(const std::wstring& text, const char* prefix) {
  for (size_t i = 0; prefix[i] != '\0'; ++i)
    if (i >= text.size() || text[i] > 0x7F || std::tolower(text[i]) != prefix[i]) return false;
  return true;
}
