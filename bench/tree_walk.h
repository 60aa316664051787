// Where in its walk the executable search stops, counted by walking the tree the same way.
#pragma once

#include <cstdint>
#include <string>

struct WalkCount {
  std::uint64_t entries = 0;             // every entry of the tree below the root
  std::uint64_t entriesBeforeMatch = 0;  // entries the search has passed when it finds a match
  bool found = false;
};

// Depth-first, pre-order, in the file system's order: in each folder the direct test for
// the name first, then each entry, descending into folders as they come.
WalkCount CountSearchWalk(const std::wstring& folder, const std::wstring& name);
