// The pieces of the package download that its tests reach directly.
#pragma once

#include <string>

// The text's UTF-8 bytes, every one but the unreserved ASCII characters as %XX.
std::wstring PercentEncodeUtf8(const std::wstring& text);
// The path itself when free, else "stem (n).ext" for the first free n up to 999.
std::wstring MakeUniquePath(const std::wstring& path);
