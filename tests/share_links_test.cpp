// Candidate download links out of a link-parser answer, best first.
#include <gtest/gtest.h>

#include "common/ascii_case.h"
#include "net/share_links.h"
#include "net/share_links_internal.h"

namespace {

using Links = std::vector<std::wstring>;
const std::wstring kShareLink = L"https://www.lanzou.com/i7abc";

}  // namespace

TEST(ExtractCandidateLinks, VisitsEveryStringAndKeepsOnlyOtherHttpLinks) {
  struct Case {
    std::string answer;
    Links links;
  };
  const Case cases[] = {
      {R"({"code":200,"msg":"ok","data":{"url":"https:\/\/h\/p.zip"}})", {L"https://h/p.zip"}},
      {R"({"a":"https://x/\"q\"/1","b":"http://y/2"})", {L"https://x/\"q\"/1", L"http://y/2"}},
      {R"(["http://a/b\\","http://c/d"])", {L"http://a/b\\", L"http://c/d"}},
      {R"({"echo":"https://www.lanzou.com/i7abc","case":"https://www.lanzou.com/i7aBc",)"
       R"("d":"https://d/f"})",
       {L"https://d/f", L"https://www.lanzou.com/i7aBc"}},
      {R"(["https://p/json/parser?url=x","https://p/JSON/Parser","https://d/f"])",
       {L"https://d/f"}},
      {R"(["HTTP://UP/F","ftp://h/p.zip","//h/p.zip","httpx://h","http:/h"])", {L"HTTP://UP/F"}},
      {R"(["https://d/f","x","https://d/f"])", {L"https://d/f", L"https://d/f"}},
      {"<html><a href=\"https://d/p.zip\">get</a><img src=\"http://i/logo.png\">"
       "<div class=\"box\" title=\"mailto:x\"></div></html>",
       {L"https://d/p.zip", L"http://i/logo.png"}},
      {R"({"url":"https://d/unterminated.zip)", {L"https://d/unterminated.zip"}},
      {"no quotes at all", {}},
      {"", {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.links, ExtractCandidateLinks(c.answer, kShareLink)) << c.answer;
}

TEST(ExtractCandidateLinks, OrdersZipThenOffSiteThenLongerAndKeepsTiesInOrder) {
  const std::string s = "https://pan.lanzou.com/s";          // lanzou, no .zip
  const std::string d = "https://dl.example.net/file?id=42";  // no lanzou, no .zip
  const std::string z1 = "https://z.cn/123.zip";              // .zip, 20 units
  const std::string z2 = "https://zz.example.cn/abcd.zip";    // .zip, 30 units
  ASSERT_EQ(20u, z1.size());
  ASSERT_EQ(30u, z2.size());
  const std::string answer = "[\"" + s + "\",\"" + d + "\",\"" + z1 + "\",\"" + z2 + "\"]";
  EXPECT_EQ((Links{L"https://zz.example.cn/abcd.zip", L"https://z.cn/123.zip",
                   L"https://dl.example.net/file?id=42", L"https://pan.lanzou.com/s"}),
            ExtractCandidateLinks(answer, kShareLink));

  // A zip on the sharing site still beats any link without .zip.
  EXPECT_EQ((Links{L"https://lanzou.com/p.ZIP", L"https://d/a-much-longer-link-without-it"}),
            ExtractCandidateLinks(
                R"(["https://d/a-much-longer-link-without-it","https://lanzou.com/p.ZIP"])",
                kShareLink));
  // Equal keys keep their order of appearance, across many to catch an unstable sort.
  std::string ties = "[";
  Links expected;
  for (int i = 0; i < 40; ++i) {
    const std::wstring link = L"https://m" + std::to_wstring(10 + i) + L".example/p.zip";
    expected.push_back(link);
    ties += "\"" + std::string(link.begin(), link.end()) + "\",";
  }
  ties += "\"https://short/p.zip\"]";
  expected.push_back(L"https://short/p.zip");
  EXPECT_EQ(expected, ExtractCandidateLinks(ties, kShareLink));
}

TEST(CandidateBefore, DecidesByZipThenSharingSiteThenLength) {
  struct Case {
    const wchar_t* a;
    const wchar_t* b;
    bool before;
  };
  const Case cases[] = {
      {L"http://a/x.zip", L"http://longer-link/x", true},
      {L"http://longer-link/x", L"http://a/x.zip", false},
      {L"http://a/x", L"http://lanzou/longer", true},
      {L"http://LANZOU/x.ZIP", L"http://other/x", true},
      {L"http://abc/x", L"http://ab/x", true},
      {L"http://ab/x", L"http://abc/x", false},
      {L"http://ab/x", L"http://cd/x", false},
      {L"http://ab/x", L"http://ab/x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.before, CandidateBefore(c.a, c.b)) << c.a << " " << c.b;
}

TEST(IsHttpUrl, AcceptsHttpAndHttpsInAnyAsciiCase) {
  const std::pair<const wchar_t*, bool> cases[] = {
      {L"http://", true},   {L"HTTPS://h", true}, {L"hTtP://h", true}, {L"https:/", false},
      {L"http:/", false},   {L"ftp://h", false},  {L"//h", false},     {L" http://h", false},
      {L"\x0130ttp://h", false}, {L"", false},
  };
  for (const auto& [text, accepted] : cases) EXPECT_EQ(accepted, IsHttpUrl(text)) << text;
}

TEST(ContainsIgnoreCase, FoldsAsciiLettersOnly) {
  struct Case {
    const wchar_t* text;
    const wchar_t* part;
    bool contains;
  };
  const Case cases[] = {
      {L"https://h/P.ZIP?x=1", L".zip", true}, {L"a.zi", L".zip", false},
      {L"LanZou", L"lanzou", true},            {L"\x00C4.zip", L"\x00E4", false},
      {L"abc", L"", true},                     {L"", L"a", false},
      {L"[.zip]", L"[.ZIP]", true},            {L"@", L"`", false},
  };
  for (const auto& c : cases) EXPECT_EQ(c.contains, ContainsIgnoreCase(c.text, c.part)) << c.text;
}
