// Bringing the package onto the disk, through the link-parser service when needed.
#pragma once

#include <optional>
#include <string>

#include "common/crypto_values.h"
#include "net/settings.h"

struct DownloadedPackage {
  std::wstring path;
  std::optional<Sha256Digest> sha256;  // taken as it was written; none if it could not be
};

// Returns where the package landed and its SHA-256; failures throw.
DownloadedPackage DownloadPackage(const DownloaderSettings& settings,
                                  const std::wstring& downloadFolder);
