// The one network operation: a synchronous HTTP or HTTPS GET through WinHTTP.
#pragma once

#include <windows.h>

#include <string>

class Sha256;

// Returns the body (memory mode, destinationPath empty) or writes it to destinationPath and
// returns an empty string. A non-null progressBar switches on WM_INSTALL_PROGRESS posting to
// the main window; a non-null bodyHash takes each piece of the body as it is written, so that
// a file need not be read again for its hash. Failures throw a Failure with the user's
// Chinese text; a body that breaks off, or that is shorter than its Content-Length, is a failure
// too, and a file whose announced length exceeds its drive's free room is refused before it is
// created.
std::string HttpGet(const std::wstring& url, const std::wstring& apiKey,
                    const std::wstring& destinationPath, HWND progressBar,
                    Sha256* bodyHash = nullptr);
