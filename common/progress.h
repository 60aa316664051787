// The bar's percentages: of the package's download, then of its extraction.
#pragma once

#include <cstdint>
#include <optional>

// Percent of a known total, reported only when it changes, never above 100; nothing for a
// total of 0.
class ProgressPercent {
 public:
  explicit ProgressPercent(uint64_t total) : total_(total) {}

  // Counts bytes done; the percent to show when it differs from the last one shown.
  std::optional<unsigned> Add(uint64_t bytes) { return At(done_ + bytes); }
  // The same for an amount done in all.
  std::optional<unsigned> At(uint64_t done);

 private:
  uint64_t total_;
  uint64_t done_ = 0;
  int lastShown_ = -1;  // none yet
};

// Posts a percent to the main window as WM_INSTALL_PROGRESS; nothing for none.
void PostProgress(std::optional<unsigned> percent);
