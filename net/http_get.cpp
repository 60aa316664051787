#include "net/http_get.h"

#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "common/constants.h"
#include "common/decimal_text.h"
#include "common/disk_space.h"
#include "common/failure.h"
#include "common/function_ref.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "common/progress.h"
#include "net/body_writer.h"
#include "net/content_range.h"
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
constexpr DWORD kOkStatus = 200;
constexpr DWORD kNoContentStatus = 204;
constexpr DWORD kPartialContentStatus = 206;
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

// A header's value; empty when the answer has none, or one longer than 255 characters.
std::wstring QueryHeader(HINTERNET request, DWORD header) {
  wchar_t value[256];
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, header, WINHTTP_HEADER_NAME_BY_INDEX, value, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return {};
  return std::wstring(value, size / sizeof(wchar_t));
}

// Read as text: the numeric query is 32 bits wide and packages may be larger.
uint64_t QueryContentLength(HINTERNET request) {
  return ParseContentLength(QueryHeader(request, WINHTTP_QUERY_CONTENT_LENGTH));
}

// What names the body byte for byte: its strong ETag, else, without an ETag, its Last-Modified.
// A weak ETag may stay when bytes change, and with one the date may not stand in (RFC 9110).
std::wstring QueryValidator(HINTERNET request) {
  const std::wstring etag = QueryHeader(request, WINHTTP_QUERY_ETAG);
  if (etag.empty()) return QueryHeader(request, WINHTTP_QUERY_LAST_MODIFIED);
  return etag.starts_with(L"W/") ? std::wstring() : etag;
}

// Whether a 206 carries exactly the rest of the kept body: its Content-Range and its
// Content-Length both say so.
bool RestFollows(HINTERNET request, const KeptBody& kept, uint64_t announcedLength) {
  const auto range = ReadContentRange(QueryHeader(request, WINHTTP_QUERY_CONTENT_RANGE));
  return range && range->first == kept.offset && range->total == kept.total &&
         range->last + 1 == kept.total && announcedLength == kept.total - kept.offset;
}

// 1xx, 204 and 304 answers carry no body, whatever Content-Length they announce.
bool StatusHasBody(DWORD status) {
  return status >= 200 && status != kNoContentStatus && status != kNotModifiedStatus;
}

// Hands the body to consume in pieces of up to kWriteBytes gathered from the reads, which are
// small: a write for each read, or far larger writes, slow the download down. Progress still
// follows every read, from the bytes kept before it. True when the whole body arrived; what
// arrived before a break is handed on all the same, for a later transfer may continue it.
bool ReceiveBody(HINTERNET request, uint64_t kept, uint64_t announcedLength, bool reportProgress,
                 FunctionRef<void(const char*, DWORD)> consume) {
  std::vector<char> buffer(kWriteBytes);
  DWORD held = 0;  // read into the buffer, not yet handed on
  ProgressPercent progress(reportProgress ? kept + announcedLength : 0);
  if (kept) PostProgress(progress.At(kept));
  uint64_t received = 0;
  bool ended = false;
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) break;
    if (available == 0) {
      ended = true;
      break;
    }
    if (held == kWriteBytes) {
      consume(buffer.data(), held);
      held = 0;
    }
    DWORD read = 0;
    if (!WinHttpReadData(request, buffer.data() + held,
                         std::min(available, kWriteBytes - held), &read))
      break;
    ended = read == 0;
    if (ended) break;
    held += read;
    received += read;
    PostProgress(progress.Add(read));
  }
  if (held > 0) consume(buffer.data(), held);
  return ended && received >= announcedLength;
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

std::wstring RequestHeaders(const std::wstring& apiKey, const KeptBody& kept) {
  std::wstring headers = L"Accept: */*\r\nReferer: " + std::wstring(kShareSiteHomeUrl) + L"\r\n";
  if (!apiKey.empty()) headers += L"X-API-Key: " + apiKey + L"\r\n";
  if (kept.offset) {
    headers += L"Range: bytes=";
    headers += DecimalText(kept.offset);
    headers += L"-\r\nIf-Range: ";
    headers += kept.validator;
    headers += L"\r\n";
  }
  return headers;
}

std::string Get(const std::wstring& url, const std::wstring& apiKey,
                const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash,
                ProxyAccess access, const KeptBody& kept,
                BeforeWriting beforeWriting) {
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

  const std::wstring headers = RequestHeaders(apiKey, kept);
  if (!WinHttpSendRequest(request.get(), headers.c_str(), kHeadersNullTerminated,
                          WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr))
    Fail(kTransferFailedText);

  const DWORD status = QueryStatus(request.get());
  const uint64_t announcedLength = StatusHasBody(status) ? QueryContentLength(request.get()) : 0;
  const bool appending = status == kPartialContentStatus && kept.offset &&
                         RestFollows(request.get(), kept, announcedLength);
  // A kept body takes its rest, or a whole body anew; after any other answer nothing of it is
  // worth keeping.
  if (!appending && (status >= kFirstErrorStatus || status == kPartialContentStatus ||
                     (kept.offset && status != kOkStatus))) {
    if (kept.offset) {
      beforeWriting({}, 0);
      DeleteFileW(destinationPath.c_str());
    }
    Fail(kServerErrorText);
  }
  const uint64_t from = appending ? kept.offset : 0;
  const bool reportProgress = progressBar != nullptr;

  if (destinationPath.empty()) {
    std::string body;
    if (!ReceiveBody(request.get(), 0, announcedLength, reportProgress,
                     [&](const char* data, DWORD size) { body.append(data, size); }))
      Fail(kTransferFailedText);
    return body;
  }

  // Created only now, so that a refused answer to a fresh request leaves an existing file as it
  // was. Only what is left to download needs room; a kept body that a whole one replaces gives
  // its room back.
  const uint64_t freed = appending ? 0 : std::min(kept.offset, announcedLength);
  RequireFreeSpace(destinationPath.substr(0, destinationPath.find_last_of(L'\\') + 1),
                   announcedLength - freed);
  FileHandle file = OpenFileRetrying(destinationPath, GENERIC_READ | GENERIC_WRITE, 0,
                                     appending ? OPEN_EXISTING : CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL);
  if (!file) Fail(kWriteFailedText);
  if (!appending) beforeWriting(QueryValidator(request.get()), announcedLength);
  BodyWriter writer(file.get(), from, bodyHash);
  const bool whole = ReceiveBody(request.get(), from, announcedLength, reportProgress,
                                 [&](const char* data, DWORD size) { writer.Write(data, size); });
  writer.Finish();
  if (!whole) Fail(kTransferFailedText);
  return {};
}

}  // namespace

uint64_t ParseContentLength(const std::wstring& value) {
  size_t at = 0;
  const std::optional<uint64_t> length = ReadDecimal(value, at);
  return length && at == value.size() ? *length : 0;
}

std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash) {
  return HttpGet(url, apiKey, destinationPath, progressBar, bodyHash, ProxyAccess::kAutomatic);
}

std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar, Sha256* bodyHash,
                    ProxyAccess access) {
  return Get(url, apiKey, destinationPath, progressBar, bodyHash, access, {},
             [](const std::wstring&, uint64_t) {});
}

void DownloadFile(const std::wstring& url, const std::wstring& apiKey, const std::wstring& path,
                  HWND progressBar, Sha256& bodyHash, const KeptBody& kept,
                  BeforeWriting beforeWriting) {
  Get(url, apiKey, path, progressBar, &bodyHash, ProxyAccess::kAutomatic, kept, beforeWriting);
}
