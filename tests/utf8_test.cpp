#include <gtest/gtest.h>

#include "common/code_pages.h"

TEST(Utf8ToWide, ConvertsChineseAndKeepsEmbeddedNuls) {
  EXPECT_EQ(L"", Utf8ToWide(""));
  EXPECT_EQ(L"安装失败", Utf8ToWide("\xE5\xAE\x89\xE8\xA3\x85\xE5\xA4\xB1\xE8\xB4\xA5"));
  EXPECT_EQ(std::wstring(L"a\0b", 3), Utf8ToWide(std::string("a\0b", 3)));
}

TEST(Utf8ToWide, ReplacesInvalidBytesInsteadOfGivingUp) {
  const std::wstring text = Utf8ToWide("ok\xFF\xC3");
  ASSERT_GE(text.size(), 3u);
  EXPECT_EQ(L"ok", text.substr(0, 2));
  EXPECT_EQ(L'\xFFFD', text[2]);
}

TEST(WideToUtf8, RoundTripsChinese) {
  EXPECT_EQ("\xE4\xB8\xAD", WideToUtf8(L"中"));
  EXPECT_EQ(L"霁岚舟.exe", Utf8ToWide(WideToUtf8(L"霁岚舟.exe")));
  EXPECT_EQ("", WideToUtf8(L""));
}
