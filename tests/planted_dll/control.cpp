// Imports winhttp.dll and comctl32.dll the ordinary way, as the installer must not: the
// loader looks for both beside the program before System32, before main runs.
#include <windows.h>
#include <commctrl.h>
#include <winhttp.h>

int main() {
  InitCommonControls();
  return WinHttpCheckPlatform() ? 0 : 1;
}
