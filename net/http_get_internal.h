// The pieces of the HTTP transfer that its tests reach directly; product code calls HttpGet.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// A Content-Length header value as a number; 0 when it is not a plain decimal that fits.
uint64_t ParseContentLength(const std::wstring& value);
// Writes the whole chunk or throws the download file's write failure.
void WriteChunk(HANDLE file, const char* data, DWORD size);

// Percent of an announced length, reported only when it changes, never above 100.
class ProgressPercent {
 public:
  explicit ProgressPercent(uint64_t total) : total_(total) {}

  // Counts received bytes; the percent to show when it differs from the last one shown.
  std::optional<unsigned> Add(uint64_t bytes);

 private:
  uint64_t total_;
  uint64_t received_ = 0;
  int lastShown_ = -1;  // none yet
};
