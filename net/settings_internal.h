// The reading of the settings answer, which its tests reach directly.
#pragma once

#include <string>

#include "net/settings.h"

// The record an answer body gives, defaults included.
DownloaderSettings ParseDownloaderSettings(const std::string& body);
