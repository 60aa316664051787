// The pieces of the HTTP transfer that its tests reach directly; product code calls HttpGet.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "net/http_get.h"

// A Content-Length header value as a number; 0 when it is not a plain decimal that fits, in
// its one spelling.
uint64_t ParseContentLength(const std::wstring& value);

enum class ProxyAccess {
  kAutomatic,        // the automatic proxy type; Internet Options where WinHTTP refuses it
  kInternetOptions,  // Internet Options at once, as where WinHTTP refuses the automatic type
};
// HttpGet, with the automatic type refused or not (HttpGet: kAutomatic).
std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash,
                    ProxyAccess access);
