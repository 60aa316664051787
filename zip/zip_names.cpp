#include "zip/zip_names.h"

#include <cstdint>

#include "common/ascii_case.h"
#include "common/code_pages.h"

namespace {

constexpr size_t kMaxPath = 260;                  // MAX_PATH
constexpr size_t kMaxFolderPath = kMaxPath - 12;  // CreateDirectoryW's limit
constexpr wchar_t kForbiddenCharacters[] = L"<>:\"|?*";

bool IsSeparator(wchar_t c) { return c == L'/' || c == L'\\'; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices, also with an extension after them;
// Windows takes the superscripts ¹ ² ³ for digits there too.
bool IsDeviceName(const std::wstring& component) {
  std::wstring stem = component.substr(0, component.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL"})
    if (EqualsIgnoreCase(stem, device)) return true;
  const bool port = StartsWithIgnoreCase(stem, L"COM") || StartsWithIgnoreCase(stem, L"LPT");
  return port && stem.size() == 4 &&
         std::wstring(L"123456789\u00b9\u00b2\u00b3").find(stem[3]) != std::wstring::npos;
}

bool IsSafeComponent(const std::wstring& component) {
  if (component.empty() || component.back() == L'.' || component.back() == L' ') return false;
  for (wchar_t c : component)
    if (c < 0x20 || std::wstring(kForbiddenCharacters).find(c) != std::wstring::npos) return false;
  return !IsDeviceName(component);
}

}  // namespace

bool IsNonAsciiUtf8(const std::string& bytes) {
  bool nonAscii = false;
  for (size_t i = 0; i < bytes.size();) {
    const unsigned char lead = static_cast<unsigned char>(bytes[i]);
    if (lead < 0x80) {
      ++i;
      continue;
    }
    nonAscii = true;
    size_t length = 0;
    uint32_t value = 0, smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, value = lead & 0x1F, smallest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, value = lead & 0x0F, smallest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, value = lead & 0x07, smallest = 0x10000;
    else return false;
    if (bytes.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return nonAscii;
}

std::wstring DecodeEntryName(const std::string& stored, bool flaggedUtf8) {
  const bool utf8 = flaggedUtf8 || IsNonAsciiUtf8(stored);
  return DecodeInCodePage(stored, utf8 ? kUtf8CodePage : kOemCodePage);
}

std::vector<std::wstring> EntryNameSpellings(const std::string& stored, bool flaggedUtf8) {
  std::vector<std::wstring> spellings = {DecodeEntryName(stored, flaggedUtf8)};
  if (!flaggedUtf8 && IsNonAsciiUtf8(stored)) {
    std::wstring oem = DecodeInCodePage(stored, kOemCodePage);
    if (oem != spellings.front()) spellings.push_back(std::move(oem));
  }
  return spellings;
}

bool ZipFolderMisnames(const std::vector<ZipEntryRecord>& entries, WindowsVersion version) {
  if (version.major > 6 || (version.major == 6 && version.minor >= 2)) return false;
  for (const ZipEntryRecord& entry : entries) {
    if (!(entry.flags & kFlagUtf8Name)) continue;
    for (const char c : entry.name)
      if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

std::optional<EntryPath> SafeEntryPath(const std::wstring& name) {
  if (name.empty() || IsSeparator(name.front())) return std::nullopt;
  EntryPath path;
  path.isFolder = IsSeparator(name.back());
  const size_t end = path.isFolder ? name.size() - 1 : name.size();
  size_t start = 0;
  while (start <= end) {
    size_t stop = start;
    while (stop < end && !IsSeparator(name[stop])) ++stop;
    const std::wstring component = name.substr(start, stop - start);
    if (!IsSafeComponent(component)) return std::nullopt;
    if (!path.relative.empty()) path.relative += L'\\';
    path.relative += component;
    start = stop + 1;
  }
  return path;
}

bool FitsPathLimits(size_t destinationLength, const EntryPath& path) {
  const size_t full = destinationLength + 1 + path.relative.size();
  if (path.isFolder) return full < kMaxFolderPath;
  const size_t lastSeparator = path.relative.rfind(L'\\');
  const bool folderFits =
      lastSeparator == std::wstring::npos || destinationLength + 1 + lastSeparator < kMaxFolderPath;
  return folderFits && full < kMaxPath;
}
