// A link-parser answer, after a first line that holds the share link sent to the parser.
#include <algorithm>

#include "common/code_pages.h"
#include "net/share_links.h"
#include "net/share_links_internal.h"
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
  bool before[8][8];
  for (size_t a = 0; a < n; ++a)
    for (size_t b = 0; b < n; ++b) before[a][b] = CandidateBefore(links[a], links[b]);
  for (size_t a = 0; a < n; ++a) {
    FUZZ_CHECK(!before[a][a]);
    for (size_t b = 0; b < n; ++b) {
      FUZZ_CHECK(!(before[a][b] && before[b][a]));
      const bool abTied = !before[a][b] && !before[b][a];
      for (size_t c = 0; c < n; ++c) {
        if (before[a][b] && before[b][c]) FUZZ_CHECK(before[a][c]);
        // Being tied is transitive too.
        if (abTied && !before[b][c] && !before[c][b]) FUZZ_CHECK(!before[a][c] && !before[c][a]);
      }
    }
  }
  return 0;
}
