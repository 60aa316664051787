// What an installation leaves for the user to find: the desktop and the shortcut on it.
#pragma once

#include <string>

// Where the installer places its shortcut: on the current user's desktop.
std::wstring DesktopShortcutPath();

struct ShortcutInfo {
  bool loaded = false;
  std::wstring target;
  std::wstring workingFolder;
  std::wstring iconPath;
  int iconIndex = -1;
};

// Reads a .lnk file back through the shell's link object.
ShortcutInfo ReadShortcut(const std::wstring& linkPath);
