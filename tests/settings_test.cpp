// The downloader settings: reading the answer with its defaults, and the request itself.
#include <gtest/gtest.h>

#include "common/constants.h"
#include "net/settings_internal.h"
#include "support/failure.h"
#include "support/http_server.h"

TEST(ParseDownloaderSettings, TrimsTheBaseAndKeepsDefaultsForWhatIsMissing) {
  struct Case {
    const char* body;
    DownloaderSettings expected;
  };
  const std::wstring parser = kParserServiceUrl;
  const Case cases[] = {
      {R"({"api_base_url":"https://p.example/","api_key":" k/ ","download_url":"https://d/s/",)"
       R"("package_sha256":" Ab\/"})",
       {L"https://p.example", L" k/ ", L"https://d/s/", L" Ab/"}},
      {R"({"api_base_url":"https://p.example/v1//"})", {L"https://p.example/v1", L"", L""}},
      {R"({"api_base_url":"https://p.example\\/\\"})", {L"https://p.example", L"", L""}},
      {R"({"api_base_url":"/"})", {L"", L"", L""}},
      {R"({"api_base_url":""})", {parser, L"", L""}},
      {R"({"data":{"download_url":"https:\/\/d\/p.zip","api_key":"\u4e2d"}})",
       {parser, L"中", L"https://d/p.zip"}},
      {R"({"api_key":null,"download_url":"https://d/p.zip"})", {parser, L"", L"https://d/p.zip"}},
      {R"({"download_url":"first","download_url":"second"})", {parser, L"", L"first"}},
      {"<html><body>502 Bad Gateway</body></html>", {parser, L"", L""}},
      {"", {parser, L"", L""}},
  };
  for (const auto& c : cases) {
    const DownloaderSettings settings = ParseDownloaderSettings(c.body);
    EXPECT_EQ(c.expected.api_base_url, settings.api_base_url) << c.body;
    EXPECT_EQ(c.expected.api_key, settings.api_key) << c.body;
    EXPECT_EQ(c.expected.download_url, settings.download_url) << c.body;
    EXPECT_EQ(c.expected.package_sha256, settings.package_sha256) << c.body;
  }
}

TEST(FetchDownloaderSettings, AsksTheSettingsServerWithoutAKey) {
  TestHttpServer server([](const HttpRequest&) {
    return HttpResponse::Body(
        R"({"code":0,"data":{"api_base_url":"https://parser.example/","api_key":"secret",)"
        R"("download_url":"https://www.lanzou.com/i7abc"}})");
  }, SettingsServerPort());
  ASSERT_TRUE(server.listening()) << "the settings port is taken";

  const DownloaderSettings settings = FetchDownloaderSettings();
  EXPECT_EQ(L"https://parser.example", settings.api_base_url);
  EXPECT_EQ(L"secret", settings.api_key);
  EXPECT_EQ(L"https://www.lanzou.com/i7abc", settings.download_url);
  const auto requests = server.requests();
  ASSERT_EQ(1u, requests.size());
  EXPECT_EQ("/api/settings/downloader", requests[0].target);
  EXPECT_FALSE(requests[0].HasHeader("X-API-Key"));
}

TEST(FetchDownloaderSettings, ServerErrorReachesTheCaller) {
  TestHttpServer server([](const HttpRequest&) { return HttpResponse::Body("{}", 500); },
                        SettingsServerPort());
  ASSERT_TRUE(server.listening()) << "the settings port is taken";
  EXPECT_EQ("服务器返回错误", FailureOf([] { FetchDownloaderSettings(); }));
}
