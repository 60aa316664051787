// Bringing the package onto the disk, through the link-parser service when needed.
#pragma once

#include <string>

#include "net/settings.h"

// Returns the full path of the downloaded package; failures throw.
std::wstring DownloadPackage(const DownloaderSettings& settings,
                             const std::wstring& downloadFolder);
std::wstring PercentEncodeUtf8(const std::wstring& text);
// The path itself when free, else "stem (n).ext" for the first free n up to 999.
std::wstring MakeUniquePath(const std::wstring& path);
