// The fastest body reads that WinHTTP allows here: the yardsticks for our own download.
#pragma once

#include <cstdint>
#include <string>

// GETs the URL and reads the body into one reused 1 MiB buffer, keeping nothing.
// Returns the body's size in bytes; throws std::runtime_error when the request fails.
std::uint64_t ReadBodyWithoutKeeping(const std::wstring& url);

// The whole task of the download: the body written to the file, gathered in one reused
// buffer of the download's write size. Returns the bytes written.
std::uint64_t ReadBodyIntoFile(const std::wstring& url, const std::wstring& path);
