// The package's SHA-256 against the value the settings server publishes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

using Sha256Digest = std::array<uint8_t, 32>;

// The file's SHA-256, computed by the platform; none when the file cannot be read.
std::optional<Sha256Digest> FileSha256(const std::wstring& path);

// Before downloading: throws the check's failure for a malformed value, or for a missing one
// when the build requires it.
void CheckPublishedSha256(const std::wstring& published, bool required);

// After downloading: unless no value is published or the file's SHA-256 is that value, removes
// the package and throws the check's failure.
void CheckPackageSha256(const std::wstring& packagePath, const std::wstring& published);
