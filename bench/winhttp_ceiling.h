// The fastest body read that WinHTTP allows here: the yardstick for our own download.
#pragma once

#include <cstdint>
#include <string>

// GETs the URL and reads the body into one reused 1 MiB buffer, keeping nothing.
// Returns the body's size in bytes; throws std::runtime_error when the request fails.
std::uint64_t ReadBodyWithoutKeeping(const std::wstring& url);
