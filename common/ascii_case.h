// Comparisons that fold the ASCII letters A to Z only, whatever the locale: the names and
// markers compared this way are ASCII, and nothing else may match them by folding.
// Header only and free of <windows.h>, so that the entry-name rules that use it build anywhere.
#pragma once

#include <algorithm>
#include <string>

inline wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

inline bool SameIgnoringAsciiCase(wchar_t a, wchar_t b) { return FoldAscii(a) == FoldAscii(b); }

inline bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameIgnoringAsciiCase);
}

inline bool StartsWithIgnoreCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), SameIgnoringAsciiCase);
}

inline bool ContainsIgnoreCase(const std::wstring& text, const std::wstring& part) {
  return part.empty() || std::search(text.begin(), text.end(), part.begin(), part.end(),
                                     SameIgnoringAsciiCase) != text.end();
}
