#include "net/settings.h"

#include "common/constants.h"
#include "net/http_get.h"
#include "net/json_fields.h"
#include "net/settings_internal.h"

DownloaderSettings ParseDownloaderSettings(const std::string& body) {
  DownloaderSettings settings{kParserServiceUrl, L"", L""};
  const std::wstring apiBaseUrl = ReadJsonStringField(body, "api_base_url");
  const std::wstring apiKey = ReadJsonStringField(body, "api_key");
  const std::wstring downloadUrl = ReadJsonStringField(body, "download_url");
  settings.package_sha256 = ReadJsonStringField(body, "package_sha256");
  settings.package_signature = ReadJsonStringField(body, "package_signature");
  // The parser path is appended with its own slash; a value of slashes alone leaves nothing.
  if (!apiBaseUrl.empty())
    settings.api_base_url = apiBaseUrl.substr(0, apiBaseUrl.find_last_not_of(L"/\\") + 1);
  if (!apiKey.empty()) settings.api_key = apiKey;
  if (!downloadUrl.empty()) settings.download_url = downloadUrl;
  return settings;
}

DownloaderSettings FetchDownloaderSettings() {
  return ParseDownloaderSettings(
      HttpGet(std::wstring(kSettingsServerUrl) + L"/api/settings/downloader", L"", L"", nullptr));
}
