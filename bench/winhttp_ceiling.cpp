#include "bench/winhttp_ceiling.h"

#include <windows.h>
#include <winhttp.h>

#include <stdexcept>
#include <vector>

#include "common/handles.h"

namespace {
constexpr DWORD kBufferBytes = 1 << 20;
constexpr DWORD kWriteBytes = 256 << 10;  // as HttpGet writes
constexpr DWORD kHostChars = 256;
constexpr DWORD kPathChars = 4096;

struct OpenRequest {
  WinHttpHandle session, connection, request;
};

// A GET whose response headers have arrived; the body is the caller's to read.
OpenRequest Get(const std::wstring& url) {
  wchar_t host[kHostChars] = {};
  wchar_t path[kPathChars] = {};
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostChars;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kPathChars;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) throw std::runtime_error("bad URL");

  OpenRequest open;
  open.session.reset(WinHttpOpen(L"tovarelin-bench", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!open.session) throw std::runtime_error("WinHttpOpen failed");
  open.connection.reset(WinHttpConnect(open.session.get(), host, parts.nPort, 0));
  if (!open.connection) throw std::runtime_error("WinHttpConnect failed");
  open.request.reset(WinHttpOpenRequest(open.connection.get(), L"GET", path, nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!open.request) throw std::runtime_error("WinHttpOpenRequest failed");
  if (!WinHttpSendRequest(open.request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(open.request.get(), nullptr)) {
    throw std::runtime_error("request failed");
  }
  return open;
}
}  // namespace

std::uint64_t ReadBodyWithoutKeeping(const std::wstring& url) {
  const OpenRequest open = Get(url);
  std::vector<char> buffer(kBufferBytes);
  std::uint64_t total = 0;
  DWORD read = 0;
  while (WinHttpReadData(open.request.get(), buffer.data(), kBufferBytes, &read) && read > 0) {
    total += read;
  }
  return total;
}

std::uint64_t ReadBodyIntoFile(const std::wstring& url, const std::wstring& path) {
  const OpenRequest open = Get(url);
  FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) throw std::runtime_error("cannot create the file");
  std::vector<char> buffer(kWriteBytes);
  std::uint64_t total = 0;
  for (;;) {
    DWORD held = 0, read = 0;
    while (held < kWriteBytes &&
           WinHttpReadData(open.request.get(), buffer.data() + held, kWriteBytes - held, &read) &&
           read > 0)
      held += read;
    DWORD written = 0;
    if (!WriteFile(file.get(), buffer.data(), held, &written, nullptr) || written != held)
      throw std::runtime_error("write failed");
    total += held;
    if (held < kWriteBytes) break;  // the body has ended
  }
  return total;
}
