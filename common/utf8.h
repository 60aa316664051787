// Conversions between UTF-8 byte strings and UTF-16 strings.
#pragma once

#include <string>

// Invalid sequences become U+FFFD; embedded NULs are kept.
std::wstring Utf8ToWide(const std::string& bytes);
// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(const std::wstring& text);
