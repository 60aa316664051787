#include "net/share_links.h"

#include <algorithm>

#include "net/json_fields.h"

namespace {

constexpr wchar_t kParserPathMarker[] = L"/json/parser";
constexpr wchar_t kZipMarker[] = L".zip";
constexpr wchar_t kShareSiteMarker[] = L"lanzou";

// Folds 'A' to 'Z' only, whatever the locale.
wchar_t FoldAscii(wchar_t c) { return c >= L'A' && c <= L'Z' ? c - L'A' + L'a' : c; }

bool EqualIgnoreCase(wchar_t a, wchar_t b) { return FoldAscii(a) == FoldAscii(b); }

bool StartsWithIgnoreCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), EqualIgnoreCase);
}

}  // namespace

bool ContainsIgnoreCase(const std::wstring& text, const std::wstring& part) {
  return part.empty() || std::search(text.begin(), text.end(), part.begin(), part.end(),
                                     EqualIgnoreCase) != text.end();
}

bool IsHttpUrl(const std::wstring& text) {
  return StartsWithIgnoreCase(text, L"http://") || StartsWithIgnoreCase(text, L"https://");
}

bool CandidateBefore(const std::wstring& a, const std::wstring& b) {
  const bool aZip = ContainsIgnoreCase(a, kZipMarker);
  const bool bZip = ContainsIgnoreCase(b, kZipMarker);
  if (aZip != bZip) return aZip;
  // Links that left the sharing site already point at the file itself.
  const bool aShare = ContainsIgnoreCase(a, kShareSiteMarker);
  const bool bShare = ContainsIgnoreCase(b, kShareSiteMarker);
  if (aShare != bShare) return bShare;
  return a.size() > b.size();
}

std::vector<std::wstring> ExtractCandidateLinks(const std::string& answer,
                                                const std::wstring& shareLink) {
  std::vector<std::wstring> links;
  std::string raw;
  for (size_t position = 0; position < answer.size();) {
    const size_t quote = answer.find('"', position);
    if (quote == std::string::npos) break;
    const size_t closing = ScanJsonString(answer, quote + 1, raw);
    std::wstring value = DecodeJsonString(raw);
    if (IsHttpUrl(value) && value != shareLink && !ContainsIgnoreCase(value, kParserPathMarker))
      links.push_back(std::move(value));
    position = closing + 1;
  }
  std::stable_sort(links.begin(), links.end(), CandidateBefore);
  return links;
}
