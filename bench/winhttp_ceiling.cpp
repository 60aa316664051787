#include "bench/winhttp_ceiling.h"

#include <windows.h>
#include <winhttp.h>

#include <stdexcept>
#include <vector>

#include "common/handles.h"

namespace {
constexpr DWORD kBufferBytes = 1 << 20;
constexpr DWORD kHostChars = 256;
constexpr DWORD kPathChars = 4096;
}  // namespace

std::uint64_t ReadBodyWithoutKeeping(const std::wstring& url) {
  wchar_t host[kHostChars] = {};
  wchar_t path[kPathChars] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostChars;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kPathChars;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) throw std::runtime_error("bad URL");

  WinHttpHandle session(WinHttpOpen(L"tovarelin-bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                    WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) throw std::runtime_error("WinHttpOpen failed");
  WinHttpHandle connection(WinHttpConnect(session.get(), host, parts.nPort, 0));
  if (!connection) throw std::runtime_error("WinHttpConnect failed");
  WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", path, nullptr,
                                           WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request) throw std::runtime_error("WinHttpOpenRequest failed");
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    throw std::runtime_error("request failed");
  }

  std::vector<char> buffer(kBufferBytes);
  std::uint64_t total = 0;
  DWORD read = 0;
  while (WinHttpReadData(request.get(), buffer.data(), kBufferBytes, &read) && read > 0) {
    total += read;
  }
  return total;
}
