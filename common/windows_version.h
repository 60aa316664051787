// The version of Windows the program runs on.
#pragma once

struct WindowsVersion {
  unsigned major = 0;
  unsigned minor = 0;
};

// As RtlGetVersion reports it: GetVersionEx stops at 6.2 for a program without a manifest.
// 0.0 when it cannot be read.
WindowsVersion RunningWindowsVersion();
