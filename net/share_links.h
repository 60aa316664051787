// Turning a link-parser answer into candidate download links, best first.
#pragma once

#include <string>
#include <vector>

// A link that holds it, in any case, points at a package rather than at a share page.
constexpr wchar_t kZipMarker[] = L".zip";

std::vector<std::wstring> ExtractCandidateLinks(const std::string& answer,
                                                const std::wstring& shareLink);
