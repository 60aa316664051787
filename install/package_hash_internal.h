// The reading of a published value, which the hash check's tests reach directly.
#pragma once

#include <optional>
#include <string>

#include "install/package_hash.h"

// Exactly 64 hex digits, either case; anything else is no digest.
std::optional<Sha256Digest> ParseSha256Hex(const std::wstring& text);
