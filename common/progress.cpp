#include "common/progress.h"

#include "common/shared_state.h"

std::optional<unsigned> ProgressPercent::At(uint64_t done) {
  done_ = done;
  if (total_ == 0) return std::nullopt;
  const unsigned percent = done >= total_ ? 100 : static_cast<unsigned>(done * 100 / total_);
  if (static_cast<int>(percent) == lastShown_) return std::nullopt;
  lastShown_ = static_cast<int>(percent);
  return percent;
}

void PostProgress(std::optional<unsigned> percent) {
  if (percent) PostMessageW(g_mainWindow, WM_INSTALL_PROGRESS, *percent, 0);
}
