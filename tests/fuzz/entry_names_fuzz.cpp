// An entry name after one byte for the destination's length: as stored bytes through the
// UTF-8 test, as decoded UTF-16 units through the rules that decide where it is written.
#include <algorithm>

#include "common/code_pages.h"
#include "tests/fuzz/fuzz_support.h"
#include "zip/zip_names.h"

namespace {

// Windows reserves these names in every folder, with any extension; ¹ ² ³ count as digits.
bool IsDeviceName(const std::wstring& component) {
  std::wstring stem = component.substr(0, component.find(L'.'));
  stem.erase(stem.find_last_not_of(L' ') + 1);
  for (wchar_t& c : stem) c = c >= L'a' && c <= L'z' ? c - 32 : c;
  const std::wstring prefix = stem.substr(0, 3);
  if (stem.size() == 3)
    return prefix == L"CON" || prefix == L"PRN" || prefix == L"AUX" || prefix == L"NUL";
  return stem.size() == 4 && (prefix == L"COM" || prefix == L"LPT") &&
         std::wstring(L"123456789\u00b9\u00b2\u00b3").find(stem[3]) != std::wstring::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t destinationLength = 3 + data[0];
  const std::string bytes = Bytes(data + 1, size - 1);
  // Well-formed UTF-8 is exactly what the conversions carry through unchanged.
  const bool nonAscii = std::any_of(bytes.begin(), bytes.end(), [](char c) { return c < 0; });
  FUZZ_CHECK(IsNonAsciiUtf8(bytes) == (nonAscii && WideToUtf8(Utf8ToWide(bytes)) == bytes));
  const std::wstring name = Utf16Units(bytes);
  const auto path = SafeEntryPath(name);
  if (!path) return 0;
  // The same components, only the separators unified and a folder's last one dropped.
  std::wstring expected = name.substr(0, name.size() - (path->isFolder ? 1 : 0));
  for (wchar_t& c : expected) c = c == L'/' ? L'\\' : c;
  FUZZ_CHECK(path->relative == expected);
  FUZZ_CHECK(path->isFolder == (name.back() == L'/' || name.back() == L'\\'));
  for (size_t start = 0; start <= expected.size();) {
    const size_t stop = std::min(expected.find(L'\\', start), expected.size());
    const std::wstring component = expected.substr(start, stop - start);
    FUZZ_CHECK(!component.empty() && component != L"." && component != L"..");
    FUZZ_CHECK(component.back() != L'.' && component.back() != L' ');
    for (wchar_t c : component)
      FUZZ_CHECK(c >= 0x20 && std::wstring(L"<>:\"|?*").find(c) == std::wstring::npos);
    FUZZ_CHECK(!IsDeviceName(component));
    start = stop + 1;
  }
  if (FitsPathLimits(destinationLength, *path))
    FUZZ_CHECK(destinationLength + 1 + path->relative.size() < 260);
  return 0;
}
