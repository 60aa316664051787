// Imports winhttp.dll, comctl32.dll and bcrypt.dll the ordinary way, as the installer must
// not: the loader looks for them beside the program before System32, before main runs.
#include <windows.h>
#include <bcrypt.h>
#include <commctrl.h>
#include <winhttp.h>

int main() {
  InitCommonControls();
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
  return WinHttpCheckPlatform() ? 0 : 1;
}
