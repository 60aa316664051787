// Reading string fields out of JSON text, and the escapes of JSON strings.
#include <gtest/gtest.h>

#include "net/json_fields.h"

TEST(ReadJsonStringField, FindsTheFirstStringValueOfTheKeyAnywhere) {
  struct Case {
    const char* text;
    const wchar_t* value;
  };
  const Case cases[] = {
      {R"({"api_key":"k1"})", L"k1"},
      {"{\"api_key\" \r\n :\t \"k1\"}", L"k1"},
      {R"({"a":{"b":[{"api_key":"deep"}]}})", L"deep"},
      {R"({"api_key":"first","x":{"api_key":"second"}})", L"first"},
      {R"({"xapi_key":"no","api_key_2":"no","api_key":"yes"})", L"yes"},
      {R"({"other":"x"})", L""},
      {R"({"api_key":""})", L""},
      {R"({"api_key":"a\"b","x":"y"})", L"a\"b"},
      {R"({"api_key":"a\\","x":"y"})", L"a\\"},
      {R"({"api_key":"a\\\"b"})", L"a\\\"b"},
      {"{\"api_key\":\"\xE9\x9C\x81\xE5\xB2\x9A\xE8\x88\x9F\"}", L"霁岚舟"},
      {R"({"api_key":"runs to the end)", L"runs to the end"},
      // Only strings count: the next key's name must not become the value.
      {R"({"api_key": null, "download_url": "u"})", L""},
      {R"({"api_key": 42, "x": "y"})", L""},
      {R"({"api_key": {"inner": "y"}})", L""},
      {R"({"api_key": true})", L""},
      {R"({"api_key")", L""},
      {R"({"api_key":)", L""},
      {R"({"api_key":   )", L""},
      {"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, ReadJsonStringField(c.text, "api_key")) << c.text;
}

TEST(DecodeJsonString, ResolvesEveryEscape) {
  struct Case {
    std::string raw;
    std::wstring value;
  };
  const Case cases[] = {
      {R"(a\"b)", L"a\"b"},
      {R"(https:\/\/h\/p.zip)", L"https://h/p.zip"},
      {R"(C:\\dir)", L"C:\\dir"},
      {R"(\b\f\n\r\t)", L"\b\f\n\r\t"},
      {R"(\x\q\')", L"xq'"},
      {R"(\u00e9\u00C9)", L"\u00e9\u00c9"},
      {R"(\u4e2d)", L"中"},
      {"\xE4\xB8\xAD\xE6\x96\x87", L"中文"},
      {R"(\u0000)", std::wstring(1, L'\0')},
      {R"(\u4eXY)", L"N"},   // hex digits up to the first other character: 0x4E
      {R"(\uzzzz!)", std::wstring(L"\0!", 2)},
      {R"(a\u12)", L"a12"},  // too short for an escape: \u dropped, the rest kept
      {R"(a\u)", L"a"},
      {R"(end\)", L"end\\"},
      {"\xFFok", L"\xFFFDok"},
      {"", L""},
      // Surrogate pairs join into one character; a half on its own is replaced.
      {R"(\ud83d\ude00)", L"\xD83D\xDE00"},
      {R"(\uD83D\uDE00!)", L"\xD83D\xDE00!"},
      {R"(\ud83d)", L"\xFFFD"},
      {R"(\ude00\ud83d)", L"\xFFFD\xFFFD"},
      {R"(\ud83dx)", L"\xFFFDx"},
      {R"(\ud83d\u0041)", L"\xFFFD" L"A"},
      {R"(\ud83d\ud83d\ude00)", L"\xFFFD\xD83D\xDE00"},
      {R"(\ud83d\ude0)", L"\xFFFD" L"de0"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, DecodeJsonString(c.raw)) << c.raw;
}

TEST(ScanJsonString, StopsAtTheFirstUnescapedQuote) {
  struct Case {
    std::string text;
    size_t closing;
    std::string raw;
  };
  const Case cases[] = {
      {R"(abc"rest")", 3, "abc"},
      {R"(a\"b"x)", 4, R"(a\"b)"},
      {R"(a\\"x)", 3, R"(a\\)"},
      {R"(a\\\"b"x)", 6, R"(a\\\"b)"},
      {R"(open)", 4, "open"},
      {R"(\)", 1, R"(\)"},
  };
  for (const auto& c : cases) {
    std::string raw = "left over";
    EXPECT_EQ(c.closing, ScanJsonString(c.text, 0, raw)) << c.text;
    EXPECT_EQ(c.raw, raw) << c.text;
  }
}
