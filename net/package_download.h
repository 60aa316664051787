// Bringing the package onto the disk, through the link-parser service when needed.
#pragma once

#include <optional>
#include <string>

#include "common/crypto_values.h"
#include "net/settings.h"

// The package's name in the download folder, where a download that ends short leaves it.
inline constexpr wchar_t kPackageName[] = L"Tovarelin.zip";

struct DownloadedPackage {
  std::wstring path;
  std::optional<Sha256Digest> sha256;  // taken as it was written; none if it could not be
};

// Returns where the package landed and its SHA-256; failures throw. What an earlier run left of
// the package, with the record of its download, is continued when the settings publish the
// same hash and signature again and the whole package will be checked (a hash is published, or
// signatureChecked); else it is deleted first. A package left whole is not asked for again.
DownloadedPackage DownloadPackage(const DownloaderSettings& settings,
                                  const std::wstring& downloadFolder,
                                  bool signatureChecked = false);

// Deletes the package and the record of its download.
void DeletePackage(const std::wstring& packagePath);
