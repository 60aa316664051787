// The installer's one window.
#pragma once

#include <windows.h>

constexpr int IDC_DRIVE_COMBO = 1001;
constexpr int IDC_START_BUTTON = 1002;
constexpr int IDC_PROGRESS_BAR = 1003;
constexpr int IDC_LOCATION_LABEL = 1004;

constexpr wchar_t kMainWindowClass[] = L"TovarelinNativeInstaller";
constexpr wchar_t kMainWindowTitle[] = L"霁岚舟安装器";

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
