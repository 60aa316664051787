#include "net/settings.h"

#include "constants.h"
#include "net/http_get.h"

DownloaderSettings ParseDownloaderSettings(const std::string&) {
  return {kParserServiceUrl, L"", L""};
}

DownloaderSettings FetchDownloaderSettings() {
  return ParseDownloaderSettings(
      HttpGet(std::wstring(kSettingsServerUrl) + L"/api/settings/downloader", L"", L"", nullptr));
}
