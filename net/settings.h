// The downloader settings that the settings server hands out.
#pragma once

#include <string>

struct DownloaderSettings {
  std::wstring api_base_url;
  std::wstring api_key;
  std::wstring download_url;
  std::wstring package_sha256 = {};     // as published; empty when none is
  std::wstring package_signature = {};  // the same
};

// Fills the record from the settings server's answer; transfer failures throw.
DownloaderSettings FetchDownloaderSettings();
