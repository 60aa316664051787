// Bringing the package onto the disk, through the link-parser service when needed.
#pragma once

#include <string>

#include "net/settings.h"

// Returns the full path of the downloaded package; failures throw.
std::wstring DownloadPackage(const DownloaderSettings& settings,
                             const std::wstring& downloadFolder);
