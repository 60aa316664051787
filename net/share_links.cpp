#include "net/share_links.h"

#include <algorithm>

#include "common/ascii_case.h"
#include "net/json_fields.h"
#include "net/share_links_internal.h"

namespace {

constexpr wchar_t kParserPathMarker[] = L"/json/parser";
constexpr wchar_t kShareSiteMarker[] = L"lanzou";

}  // namespace

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
