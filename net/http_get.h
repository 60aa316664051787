// The one network operation: a synchronous HTTP or HTTPS GET through WinHTTP.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// Returns the body (memory mode, destinationPath empty) or writes it to destinationPath and
// returns an empty string. A non-null progressBar switches on WM_INSTALL_PROGRESS posting to
// the main window. Failures throw std::runtime_error with the user's Chinese text; a body
// that breaks off, or that is shorter than its Content-Length, is a failure too.
std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar);

// The headers added to every request: Accept, Referer and, with a key, X-API-Key.
std::wstring RequestHeaders(const std::wstring& apiKey);
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
