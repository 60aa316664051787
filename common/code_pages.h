// Conversions between byte strings in a code page and UTF-16 strings.
// Free of <windows.h>, so that the entry-name rules that use it build anywhere.
#pragma once

#include <string>

// Code pages by their Windows numbers.
constexpr unsigned kOemCodePage = 1;  // CP_OEMCP: the system's OEM code page
constexpr unsigned kUtf8CodePage = 65001;
// The OEM code page of Chinese (PRC) Windows, in which its shell reads unmarked zip names.
constexpr unsigned kChineseOemCodePage = 936;

// The bytes read in that code page; empty for empty bytes. Bytes that are invalid in it
// become U+FFFD (or the code page's default character); embedded NULs are kept.
std::wstring DecodeInCodePage(const std::string& bytes, unsigned codePage);

inline std::wstring Utf8ToWide(const std::string& bytes) {
  return DecodeInCodePage(bytes, kUtf8CodePage);
}
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);
