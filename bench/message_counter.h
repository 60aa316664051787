// Stands in for the installer's window while one of our operations runs on a worker thread.
#pragma once

#include <functional>

struct ProgressTally {
  double workSeconds = 0;  // the work alone, timed on its own thread
  unsigned messages = 0;
  unsigned firstPercent = 0;
  unsigned lastPercent = 0;
  bool wentBackwards = false;
};

// Makes a message-only window g_mainWindow, runs the work on a new thread while this thread
// receives and counts the WM_INSTALL_PROGRESS messages, and rethrows what the work threw.
ProgressTally RunWithProgressWindow(const std::function<void()>& work);
