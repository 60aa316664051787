// The proxy people set in Internet Options, for WinHTTP before Windows 8.1, which has no access
// type that follows it.
#pragma once

#include <string>

#include "common/handles.h"

// A session for requests to the URL through the current user's proxy: the one that
// auto-detection or the configuration script names for the URL, else the fixed proxy with its
// bypass list, else none. A lookup that fails leaves the fixed proxy or none; settings that
// cannot be read, none.
WinHttpHandle OpenInternetOptionsSession(const wchar_t* userAgent, const std::wstring& url);
