#include "net/package_download.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/code_pages.h"
#include "common/decimal_text.h"
#include "common/failure.h"
#include "common/handles.h"
#include "common/open_file.h"
#include "common/sha256.h"
#include "common/shared_state.h"
#include "common/small_file.h"
#include "net/body_writer.h"
#include "net/http_get.h"
#include "net/package_download_internal.h"
#include "net/resume_record.h"
#include "net/share_links.h"

namespace {

constexpr char kNoDownloadUrlText[] = "后台未配置霁岚舟安装包下载链接";
constexpr wchar_t kParserPath[] = L"/json/parser?url=";
constexpr wchar_t kRecordName[] = L"\\Tovarelin.resume";  // not one of the Tovarelin*.zip
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

std::wstring RecordBeside(const std::wstring& packagePath) {
  return packagePath.substr(0, packagePath.rfind(L'\\')) + kRecordName;
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

// What an earlier run kept of the package now published: nothing unless its record names this
// package and the whole will be checked, for nothing else proves joined bytes whole.
KeptBody KeptPackage(const DownloaderSettings& settings, const std::wstring& packagePath,
                     bool checked) {
  const auto record = ReadResumeRecord(ReadSmallFile(RecordBeside(packagePath)));
  const uint64_t size = FileSize(packagePath);
  if (checked && record && record->sha256 == settings.package_sha256 &&
      record->signature == settings.package_signature && size > 0 && size <= record->total)
    return {size, record->total, record->validator};
  DeletePackage(packagePath);
  return {};
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
                                  const std::wstring& downloadFolder, bool signatureChecked) {
  CreateDirectoryW(downloadFolder.c_str(), nullptr);
  if (settings.download_url.empty()) Fail(kNoDownloadUrlText);

  const std::wstring keptPath = downloadFolder + L"\\" + kPackageName;
  const bool checked = signatureChecked || !settings.package_sha256.empty();
  const KeptBody kept = KeptPackage(settings, keptPath, checked);
  Sha256 hash;
  if (kept.offset && kept.offset == kept.total) {
    const FileHandle file =
        OpenFileRetrying(keptPath, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (!file) Fail(kWriteFailedText);
    BodyWriter(file.get(), kept.offset, &hash).Finish();  // nothing to write: the hash alone
    return {keptPath, hash.Finish()};
  }

  const std::wstring link = ContainsIgnoreCase(settings.download_url, kZipMarker)
                                ? settings.download_url
                                : ResolveShareLink(settings);
  const std::wstring packagePath = kept.offset ? keptPath : MakeUniquePath(keptPath);
  const std::wstring recordPath = RecordBeside(keptPath);
  DownloadFile(link, settings.api_key, packagePath, g_progressBar, hash, kept,
               [&](const std::wstring& validator, uint64_t total) {
                 const std::string record = FormatResumeRecord(
                     validator, total, settings.package_sha256, settings.package_signature);
                 // Only the package under its own name is ever continued.
                 if (!checked || packagePath != keptPath || record.empty() ||
                     !WriteSmallFileThrough(recordPath, record, FILE_ATTRIBUTE_NORMAL))
                   DeleteFileW(recordPath.c_str());
               });
  return {packagePath, hash.Finish()};
}

void DeletePackage(const std::wstring& packagePath) {
  DeleteFileW(RecordBeside(packagePath).c_str());
  DeleteFileW(packagePath.c_str());
}
