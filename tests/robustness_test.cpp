// Generated and mutated answers through the text readers: nothing crashes, every result is
// well formed and could only have come from its input. Deterministic from a fixed seed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "net/json_fields.h"
#include "common/ascii_case.h"
#include "net/share_links.h"
#include "net/share_links_internal.h"

namespace {

constexpr uint32_t kSeed = 0x70E1A2u;
constexpr int kInputs = 100000;
const std::wstring kShareLink = L"https://www.lanzou.com/i7abc";

// Pieces that steer the readers into their corners.
const char* const kFragments[] = {
    "https://", "http://", "HTTP://", "ftp://", ".zip", ".ZIP", "lanzou", "/json/parser",
    "www.lanzou.com/i7abc", "\\\"", "\\\\", "\\/", "\\n", "\\u4e2d", "\\ud83d", "\\ude00",
    "\\u00", "\\u", "\\", "\\x", "\xE4\xB8\xAD", "\xFF", "\xC3", "api_key", "url", ":", " ",
};

class Generator {
 public:
  std::string Next() {
    std::string text;
    switch (Below(5)) {
      case 0: text = Json(3); break;
      case 1: text = Html(); break;
      case 2: text = Bytes(); break;
      case 3: text = "{\"url\":\"" + Content();  break;  // unterminated
      default: text = "[\"" + std::string(Below(64), '\\') + Content() + "\"]"; break;
    }
    for (size_t n = Below(4); n > 0; --n) Mutate(text);
    return text;
  }

 private:
  size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }

  std::string Content() {
    std::string text = Below(2) ? kFragments[Below(3)] : "";  // often a link
    for (size_t n = Below(8); n > 0; --n) {
      if (Below(3) == 0) text += std::string(1, static_cast<char>('a' + Below(26)));
      else text += kFragments[Below(std::size(kFragments))];
    }
    return text;
  }
  std::string Quoted() { return '"' + Content() + '"'; }
  std::string Json(int depth) {
    std::string text = "{";
    for (size_t n = Below(5); n > 0; --n) {
      text += (Below(2) ? "\"api_key\"" : Quoted()) + (Below(4) ? ":" : " \r\n: ");
      const size_t kind = depth > 0 ? Below(4) : Below(3);
      text += kind == 0 ? Quoted() : kind == 1 ? "null" : kind == 2 ? "123" : Json(depth - 1);
      text += ",";
    }
    return text + "}";
  }
  std::string Html() {
    std::string text = "<html>";
    for (size_t n = Below(6); n > 0; --n) text += "<a href=" + Quoted() + ">" + Content() + "</a>";
    return text;
  }
  std::string Bytes() {
    std::string text(Below(200), '\0');
    for (char& c : text) c = static_cast<char>(Below(256));
    return text;
  }
  void Mutate(std::string& text) {
    const size_t at = text.empty() ? 0 : Below(text.size());
    switch (Below(3)) {
      case 0: if (!text.empty()) text.erase(at, 1 + Below(8)); break;
      case 1: text.insert(at, kFragments[Below(std::size(kFragments))]); break;
      default: if (!text.empty()) text[at] = static_cast<char>(Below(256)); break;
    }
  }

  std::mt19937 random_{kSeed};
};

bool HasUnpairedSurrogate(const std::wstring& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) return true;
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    }
  }
  return false;
}

// Each output unit needs at least one input byte. Without \u escapes an ASCII character can
// only be one of the input's bytes or an escape's control character, and anything beyond
// ASCII needs a byte beyond ASCII in the input.
::testing::AssertionResult CouldComeFrom(const std::wstring& value, const std::string& input) {
  if (HasUnpairedSurrogate(value)) return ::testing::AssertionFailure() << "unpaired surrogate";
  if (value.size() > input.size()) return ::testing::AssertionFailure() << "longer than input";
  if (input.find("\\u") != std::string::npos) return ::testing::AssertionSuccess();
  const bool inputHasNonAscii = std::any_of(input.begin(), input.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x80;
  });
  for (const wchar_t c : value) {
    const bool allowed = c >= 0x80 ? inputHasNonAscii
                                   : input.find(static_cast<char>(c)) != std::string::npos ||
                                         std::wstring(L"\b\f\n\r\t").find(c) != std::wstring::npos;
    if (!allowed) return ::testing::AssertionFailure() << "unit " << int(c) << " not from input";
  }
  return ::testing::AssertionSuccess();
}

}  // namespace

TEST(Robustness, GeneratedAnswersGiveWellFormedResults) {
  Generator generator;
  size_t candidates = 0;
  int failures = 0;
  int run = 0;
  for (; run < kInputs && failures < 10; ++run) {
    const std::string input = generator.Next();
    const bool before = ::testing::Test::HasFailure();
    EXPECT_TRUE(CouldComeFrom(DecodeJsonString(input), input));
    const std::wstring key = ReadJsonStringField(input, "api_key");
    EXPECT_TRUE(CouldComeFrom(key, input));
    if (input.find("\"api_key\"") == std::string::npos) {
      EXPECT_EQ(L"", key);
    }

    const auto links = ExtractCandidateLinks(input, kShareLink);
    candidates += links.size();
    EXPECT_LE(links.size(), static_cast<size_t>(std::count(input.begin(), input.end(), '"')));
    for (size_t i = 0; i < links.size(); ++i) {
      EXPECT_TRUE(IsHttpUrl(links[i]));
      EXPECT_NE(kShareLink, links[i]);
      EXPECT_FALSE(ContainsIgnoreCase(links[i], L"/json/parser"));
      EXPECT_TRUE(CouldComeFrom(links[i], input));
      for (size_t j = i + 1; j < links.size(); ++j)
        EXPECT_FALSE(CandidateBefore(links[j], links[i]));
    }
    if (!before && ::testing::Test::HasFailure()) {
      ++failures;
      ADD_FAILURE() << "input " << run << ": " << ::testing::PrintToString(input);
    }
  }
  std::printf("robustness: %d generated inputs (seed %u), %zu candidate links checked\n", run,
              kSeed, candidates);
  EXPECT_EQ(kInputs, run);
  EXPECT_GT(candidates, static_cast<size_t>(kInputs) / 10)
      << "the generator stopped reaching links";
}
