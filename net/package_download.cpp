#include "net/package_download.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/code_pages.h"
#include "common/decimal_text.h"
#include "common/failure.h"
#include "common/sha256.h"
#include "common/shared_state.h"
#include "net/http_get.h"
#include "net/package_download_internal.h"
#include "net/share_links.h"

namespace {

constexpr char kNoDownloadUrlText[] = "后台未配置霁岚舟安装包下载链接";
constexpr wchar_t kParserPath[] = L"/json/parser?url=";
constexpr wchar_t kPackageFileName[] = L"\\Tovarelin.zip";
constexpr wchar_t kHexDigits[] = L"0123456789ABCDEF";
constexpr int kMaxNameCounter = 999;

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         c == '-' || c == '.' || c == '_' || c == '~';
}

bool PathIsFree(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

// The best direct link the parser service offers for a share link; the share link itself
// when the service is unreachable, refuses or offers nothing.
std::wstring ResolveShareLink(const DownloaderSettings& settings) {
  try {
    const std::wstring request =
        settings.api_base_url + kParserPath + PercentEncodeUtf8(settings.download_url);
    const auto candidates = ExtractCandidateLinks(
        HttpGet(request, settings.api_key, L"", nullptr), settings.download_url);
    if (!candidates.empty()) return candidates.front();
  } catch (...) {
    // Resolution is best effort, whatever fails: the configured link is downloaded instead.
  }
  return settings.download_url;
}

}  // namespace

std::wstring PercentEncodeUtf8(const std::wstring& text) {
  std::wstring encoded;
  for (const char byte : WideToUtf8(text)) {
    const auto c = static_cast<unsigned char>(byte);
    if (IsUnreserved(c)) {
      encoded += static_cast<wchar_t>(c);
    } else {
      encoded += L'%';
      encoded += kHexDigits[c >> 4];
      encoded += kHexDigits[c & 0x0F];
    }
  }
  return encoded;
}

std::wstring MakeUniquePath(const std::wstring& path) {
  if (PathIsFree(path)) return path;
  const size_t dot = path.rfind(L'.');
  const std::wstring stem = path.substr(0, dot);
  const std::wstring extension = dot == std::wstring::npos ? L"" : path.substr(dot);
  for (int n = 1; n <= kMaxNameCounter; ++n) {
    std::wstring candidate = stem + L" (" + DecimalText(n) + L")" + extension;
    if (PathIsFree(candidate)) return candidate;
  }
  return stem + L"-" + DecimalText(GetTickCount64()) + extension;
}

DownloadedPackage DownloadPackage(const DownloaderSettings& settings,
                                  const std::wstring& downloadFolder) {
  CreateDirectoryW(downloadFolder.c_str(), nullptr);
  if (settings.download_url.empty()) Fail(kNoDownloadUrlText);

  const std::wstring link = ContainsIgnoreCase(settings.download_url, kZipMarker)
                                ? settings.download_url
                                : ResolveShareLink(settings);
  const std::wstring packagePath = MakeUniquePath(downloadFolder + kPackageFileName);
  Sha256 hash;
  HttpGet(link, settings.api_key, packagePath, g_progressBar, &hash);
  return {packagePath, hash.Finish()};
}
