// The Content-Range of a 206 answer, which says where the body it carries goes.
#include "net/content_range.h"
#include "tests/fuzz/fuzz_support.h"

// What is accepted is a range within its total, in the one spelling of its numbers.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring value(data, data + size);  // header text is ASCII: a byte a character
  const std::optional<ByteRange> range = ReadContentRange(value);
  if (!range) return 0;
  FUZZ_CHECK(range->first <= range->last && range->last < range->total);
  FUZZ_CHECK("bytes " + std::to_string(range->first) + "-" + std::to_string(range->last) + "/" +
                 std::to_string(range->total) == Bytes(data, size));
  return 0;
}
