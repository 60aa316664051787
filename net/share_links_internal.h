// The rules of link ordering that their tests reach directly.
#pragma once

#include <string>

bool IsHttpUrl(const std::wstring& text);
// Package links first, then links off the sharing site, then the longer link.
bool CandidateBefore(const std::wstring& a, const std::wstring& b);
