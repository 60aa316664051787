// Which bytes of the whole a 206 answer's body holds, from its Content-Range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

struct ByteRange {
  uint64_t first, last, total;  // bytes first to last, both included, of total
};

// The range of exactly "bytes FIRST-LAST/TOTAL", decimals without leading zeros, FIRST <= LAST
// < TOTAL; none for anything else, an unknown total ("*") among it.
std::optional<ByteRange> ReadContentRange(const std::wstring& value);
