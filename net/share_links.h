// Turning a link-parser answer into candidate download links, best first.
#pragma once

#include <string>
#include <vector>

std::vector<std::wstring> ExtractCandidateLinks(const std::string& answer,
                                                const std::wstring& shareLink);
bool IsHttpUrl(const std::wstring& text);
bool CandidateBefore(const std::wstring& a, const std::wstring& b);
// Substring test folding ASCII A-Z only.
bool ContainsIgnoreCase(const std::wstring& text, const std::wstring& part);
