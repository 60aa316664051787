#include "net/http_get.h"

#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "common/constants.h"
#include "common/disk_space.h"
#include "common/failure.h"
#include "common/function_ref.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "common/progress.h"
#include "net/body_writer.h"
#include "net/http_get_internal.h"
#include "net/internet_options_proxy.h"

namespace {

constexpr char kBadUrlText[] = "链接格式不正确";
constexpr char kOpenFailedText[] = "无法初始化网络请求";
constexpr char kConnectFailedText[] = "无法连接服务器";
constexpr char kRequestFailedText[] = "无法创建下载请求";
constexpr char kTransferFailedText[] = "网络请求失败";
constexpr char kServerErrorText[] = "服务器返回错误";

constexpr DWORD kHostBufferUnits = 256;
constexpr DWORD kPathBufferUnits = 4096;
constexpr DWORD kLocateInUrl = 1;  // a component length that asks for a pointer into the URL
constexpr DWORD kHeadersNullTerminated = static_cast<DWORD>(-1);
constexpr DWORD kFirstErrorStatus = 400;
constexpr DWORD kNoContentStatus = 204;
constexpr DWORD kNotModifiedStatus = 304;

struct UrlParts {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring object;  // path and query, as written in the URL
};

UrlParts SplitUrl(const std::wstring& url) {
  wchar_t host[kHostBufferUnits];
  wchar_t path[kPathBufferUnits];
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof parts;
  parts.dwSchemeLength = kLocateInUrl;
  parts.lpszHostName = host;
  parts.dwHostNameLength = kHostBufferUnits;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kPathBufferUnits;
  parts.dwExtraInfoLength = kLocateInUrl;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS))
    Fail(kBadUrlText);

  UrlParts result;
  result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  result.host.assign(host, parts.dwHostNameLength);
  result.port = parts.nPort;
  result.object.assign(path, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo) result.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  return result;
}

DWORD QueryStatus(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                      WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
  return status;
}

// Read as text: the numeric query is 32 bits wide and packages may be larger.
uint64_t QueryContentLength(HINTERNET request) {
  wchar_t value[32] = {};
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX,
                           value, &size, WINHTTP_NO_HEADER_INDEX))
    return 0;
  return ParseContentLength(std::wstring(value, size / sizeof(wchar_t)));
}

// 1xx, 204 and 304 answers carry no body, whatever Content-Length they announce.
bool StatusHasBody(DWORD status) {
  return status >= 200 && status != kNoContentStatus && status != kNotModifiedStatus;
}

// Hands the body to consume in pieces of up to kWriteBytes gathered from the reads, which are
// small: a write for each read, or far larger writes, slow the download down. Progress still
// follows every read. Throws when the body breaks off.
void ReceiveBody(HINTERNET request, uint64_t announcedLength, bool reportProgress,
                 FunctionRef<void(const char*, DWORD)> consume) {
  std::vector<char> buffer(kWriteBytes);
  DWORD held = 0;  // read into the buffer, not yet handed on
  ProgressPercent progress(reportProgress ? announcedLength : 0);
  uint64_t received = 0;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available))
      Fail(kTransferFailedText);
    if (available == 0) break;
    if (held == kWriteBytes) {
      consume(buffer.data(), held);
      held = 0;
    }
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer.data() + held,
                         std::min(available, kWriteBytes - held), &read))
      Fail(kTransferFailedText);
    if (read == 0) break;
    held += read;
    received += read;
    PostProgress(progress.Add(read));
  }
  if (held > 0) consume(buffer.data(), held);
  if (received < announcedLength) Fail(kTransferFailedText);
}

// The proxy a browser uses: the system's settings and WPAD. WinHTTP before Windows 8.1 refuses
// that access type; there the same settings are read from Internet Options.
WinHttpHandle OpenSession(ProxyAccess access, const std::wstring& url) {
  if (access == ProxyAccess::kAutomatic) {
    WinHttpHandle session(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                      WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (session) return session;
  }
  return OpenInternetOptionsSession(kUserAgent, url);
}

std::wstring RequestHeaders(const std::wstring& apiKey) {
  std::wstring headers = L"Accept: */*\r\nReferer: " + std::wstring(kShareSiteHomeUrl) + L"\r\n";
  if (!apiKey.empty()) headers += L"X-API-Key: " + apiKey + L"\r\n";
  return headers;
}

}  // namespace

uint64_t ParseContentLength(const std::wstring& value) {
  if (value.empty()) return 0;
  uint64_t length = 0;
  for (const wchar_t c : value) {
    if (c < L'0' || c > L'9') return 0;
    const unsigned digit = static_cast<unsigned>(c - L'0');
    if (length > (UINT64_MAX - digit) / 10) return 0;
    length = length * 10 + digit;
  }
  return length;
}

std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash) {
  return HttpGet(url, apiKey, destinationPath, progressBar, bodyHash, ProxyAccess::kAutomatic);
}

std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash,
                    ProxyAccess access) {
  const UrlParts target = SplitUrl(url);

  const WinHttpHandle session = OpenSession(access, url);
  if (!session) Fail(kOpenFailedText);
  // Package hosts may hand over from https to http; the default policy refuses that.
  DWORD redirectPolicy = WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS;
  WinHttpSetOption(session.get(), WINHTTP_OPTION_REDIRECT_POLICY, &redirectPolicy,
                   sizeof redirectPolicy);

  WinHttpHandle connection(WinHttpConnect(session.get(), target.host.c_str(), target.port, 0));
  if (!connection) Fail(kConnectFailedText);
  WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", target.object.c_str(),
                                           nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES,
                                           target.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request) Fail(kRequestFailedText);

  const std::wstring headers = RequestHeaders(apiKey);
  if (!WinHttpSendRequest(request.get(), headers.c_str(), kHeadersNullTerminated,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    Fail(kTransferFailedText);

  const DWORD status = QueryStatus(request.get());
  if (status >= kFirstErrorStatus) Fail(kServerErrorText);
  const uint64_t announcedLength = StatusHasBody(status) ? QueryContentLength(request.get()) : 0;
  const bool reportProgress = progressBar != nullptr;

  if (destinationPath.empty()) {
    std::string body;
    ReceiveBody(request.get(), announcedLength, reportProgress,
                [&](const char* data, DWORD size) { body.append(data, size); });
    return body;
  }

  // Created only now, so a refused answer leaves an existing file as it was.
  RequireFreeSpace(destinationPath.substr(0, destinationPath.find_last_of(L'\\') + 1),
                   announcedLength);
  FileHandle file =
      OpenFileRetrying(destinationPath, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file) Fail(kWriteFailedText);
  BodyWriter writer(file.get(), bodyHash);
  ReceiveBody(request.get(), announcedLength, reportProgress,
              [&](const char* data, DWORD size) { writer.Write(data, size); });
  writer.Finish();
  return {};
}
