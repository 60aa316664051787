#include "net/share_links.h"

std::vector<std::wstring> ExtractCandidateLinks(const std::string&, const std::wstring&) {
  return {};
}
bool IsHttpUrl(const std::wstring&) { return false; }
bool CandidateBefore(const std::wstring&, const std::wstring&) { return false; }
bool ContainsIgnoreCase(const std::wstring&, const std::wstring&) { return false; }
