// Pictures of the installer's window for people to look at: PNG files in build/screenshots.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The bytes of a PNG file for top-down rows of 32-bit BGRX pixels (as GetDIBits gives them).
std::string EncodePng(const uint8_t* bgrx, int width, int height);

// Copies what the screen shows inside the window's frame, widened to take in a second window
// such as its message box, and writes it as a PNG file. False when nothing was written.
bool SaveWindowPng(HWND window, const std::wstring& path, HWND alsoShown = nullptr);

// build/screenshots beside the test program's bin folder, created when missing.
std::wstring ScreenshotFolder();
