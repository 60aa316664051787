// The one network operation: a synchronous HTTP or HTTPS GET through WinHTTP.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/function_ref.h"

class Sha256;

// Returns the body (memory mode, destinationPath empty) or writes it to destinationPath and
// returns an empty string. A non-null progressBar switches on WM_INSTALL_PROGRESS posting to
// the main window; a non-null bodyHash takes each piece of the body as it is written, so that
// a file need not be read again for its hash. Failures throw a Failure with the user's
// Chinese text; a body that breaks off, or that is shorter than its Content-Length, is a failure
// too (what arrived of it stays written), and a file whose announced length exceeds its drive's
// free room is refused before it is created.
std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar,
                    Sha256* bodyHash = nullptr);

// What an earlier transfer left in a file: the first `offset` bytes of a body of `total`, from
// a response that `validator` named.
struct KeptBody {
  uint64_t offset = 0;  // 0: nothing to continue
  uint64_t total = 0;
  std::wstring validator;
};

// Learns what a file is about to hold anew: the body of the response that the validator names
// (its strong ETag, else its Last-Modified; empty for neither), of that whole length (0:
// unknown). Both are empty when the file is about to go.
using BeforeWriting = FunctionRef<void(const std::wstring& validator, uint64_t total)>;

// HttpGet into a file, continuing the kept body: its rest is asked for with Range and If-Range.
// A 206 for exactly that rest is appended, the hash taking the file from its first byte; a 200
// replaces the file from its first byte, once beforeWriting has been told; any other answer
// deletes the file, after beforeWriting, and throws "服务器返回错误".
void DownloadFile(const std::wstring& url, const std::wstring& apiKey, const std::wstring& path,
                  HWND progressBar, Sha256& bodyHash, const KeptBody& kept,
                  BeforeWriting beforeWriting);
