// A link-parser answer, after a first line that holds the share link sent to the parser.
#include <algorithm>

#include "app/utf8.h"
#include "net/share_links.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input = Bytes(data, size);
  const size_t lineEnd = std::min(input.find('\n'), input.size());
  const std::wstring shareLink = Utf8ToWide(input.substr(0, lineEnd));
  const auto links = ExtractCandidateLinks(input.substr(std::min(lineEnd + 1, size)), shareLink);
  for (const std::wstring& link : links) {
    FUZZ_CHECK(StartsWithAscii(link, "http://") || StartsWithAscii(link, "https://"));
    FUZZ_CHECK(link != shareLink);
    FUZZ_CHECK(!HasLoneSurrogate(link));
  }
  FUZZ_CHECK(std::is_sorted(links.begin(), links.end(), CandidateBefore));
  // A strict weak ordering, as the sort needs: checked on the first few candidates.
  const size_t n = std::min<size_t>(links.size(), 8);
  for (size_t a = 0; a < n; ++a) {
    FUZZ_CHECK(!CandidateBefore(links[a], links[a]));
    for (size_t b = 0; b < n; ++b) {
      const bool ab = CandidateBefore(links[a], links[b]), ba = CandidateBefore(links[b], links[a]);
      FUZZ_CHECK(!(ab && ba));
      for (size_t c = 0; c < n; ++c) {
        const bool bc = CandidateBefore(links[b], links[c]), ac = CandidateBefore(links[a], links[c]);
        if (ab && bc) FUZZ_CHECK(ac);
        // Being unordered is transitive too.
        if (!ab && !ba && !bc && !CandidateBefore(links[c], links[b]))
          FUZZ_CHECK(!ac && !CandidateBefore(links[c], links[a]));
      }
    }
  }
  return 0;
}
