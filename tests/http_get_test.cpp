// The GET transfer against loopback servers: what is sent, what is accepted, where the body goes.
#include <gtest/gtest.h>

#include "common/code_pages.h"
#include "common/constants.h"
#include "net/http_get.h"
#include "support/failure.h"
#include "support/files.h"
#include "support/http_server.h"

namespace {

using Lines = std::vector<std::string>;

// The lines of a header block that carry the headers this program adds, in the order sent.
Lines AddedHeaderLines(const std::string& block) {
  Lines lines;
  for (size_t start = 0, end; (end = block.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line = block.substr(start, end - start);
    const std::string name = line.substr(0, line.find(':'));
    for (const char* added : {"Accept", "Referer", "X-API-Key"})
      if (_stricmp(name.c_str(), added) == 0) lines.push_back(line);
  }
  return lines;
}

std::string SomeBytes(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
  return bytes;
}

}  // namespace

TEST(HttpGet, RejectsLinksItCannotSplitBeforeAnyTraffic) {
  TestHttpServer server(Answer(HttpResponse::Body("ok")));
  ASSERT_TRUE(server.listening());
  const std::wstring hostAndPort = L"127.0.0.1:" + std::to_wstring(server.port());
  const std::wstring longHost = L"http://" + std::wstring(300, L'a') + L"/p.zip";
  for (const std::wstring& url : {L"ftp://" + hostAndPort + L"/p.zip", hostAndPort + L"/p.zip",
                                  std::wstring(), longHost})
    EXPECT_EQ("链接格式不正确", FailureOf([&] { HttpGet(url, L"", L"", nullptr); })) << url;
  EXPECT_TRUE(server.requests().empty());
}

TEST(HttpGet, SendsAcceptAndRefererAndTheKeyOnlyWhenOneIsGiven) {
  TestHttpServer server(Answer(HttpResponse::Body("ok")));
  ASSERT_TRUE(server.listening());
  EXPECT_EQ("ok", HttpGet(server.url() + L"/a", L"", L"", nullptr));
  EXPECT_EQ("ok", HttpGet(server.url() + L"/b", L"k-1 x", L"", nullptr));

  const auto requests = server.requests();
  ASSERT_EQ(2u, requests.size());
  const std::string referer = "Referer: " + WideToUtf8(kShareSiteHomeUrl);
  EXPECT_EQ((Lines{"Accept: */*", referer}), AddedHeaderLines(requests[0].headerBlock));
  EXPECT_EQ((Lines{"Accept: */*", referer, "X-API-Key: k-1 x"}),
            AddedHeaderLines(requests[1].headerBlock));
  EXPECT_EQ("GET", requests[0].method);
  EXPECT_EQ(WideToUtf8(kUserAgent), requests[0].Header("User-Agent"));
}

TEST(HttpGet, SendsPathAndQueryExactlyAsWritten) {
  TestHttpServer server(Answer(HttpResponse::Body("ok")));
  ASSERT_TRUE(server.listening());
  const Lines targets = {"/json/parser?url=https%3A%2F%2Fwww.lanzou.com%2Fi7a%3Fp%3D1%26q%3D2",
                         "/files/a%20b/Tovarelin.zip?sign=AbC~_-.&t=%E4%B8%AD",
                         "/api/settings/downloader"};
  for (const auto& target : targets) HttpGet(server.url() + Utf8ToWide(target), L"", L"", nullptr);
  const auto requests = server.requests();
  ASSERT_EQ(targets.size(), requests.size());
  for (size_t i = 0; i < targets.size(); ++i) EXPECT_EQ(targets[i], requests[i].target);
}

TEST(HttpGet, FollowsRedirectsToOtherPathsAndPorts) {
  TestHttpServer final(Answer(HttpResponse::Body("package")));
  const std::string elsewhere = WideToUtf8(final.url()) + "/p.zip?x=1";
  TestHttpServer first([&](const HttpRequest& request) {
    if (request.target == "/moved") return HttpResponse::Redirect(301, "/here");
    if (request.target == "/here") return HttpResponse::Body("here");
    return HttpResponse::Redirect(request.target == "/found" ? 302 : 307, elsewhere);
  });
  ASSERT_TRUE(final.listening() && first.listening());
  EXPECT_EQ("here", HttpGet(first.url() + L"/moved", L"", L"", nullptr));
  EXPECT_EQ("package", HttpGet(first.url() + L"/found", L"", L"", nullptr));
  EXPECT_EQ("package", HttpGet(first.url() + L"/temporary", L"", L"", nullptr));
  ASSERT_EQ(2u, final.requests().size());
  EXPECT_EQ("/p.zip?x=1", final.requests()[1].target);
}

TEST(HttpGet, ErrorStatusesNeitherCreateNorTouchTheFile) {
  TempFolder folder;
  for (const int status : {400, 404, 500, 503}) {
    TestHttpServer server(Answer(HttpResponse::Body("<html>error</html>", status)));
    ASSERT_TRUE(server.listening());
    WriteBytes(folder / L"old.zip", "earlier bytes");
    EXPECT_EQ("服务器返回错误",
              FailureOf([&] { HttpGet(server.url() + L"/p", L"", folder / L"old.zip", nullptr); }));
    EXPECT_EQ("earlier bytes", ReadBytes(folder / L"old.zip"));
    EXPECT_EQ("服务器返回错误",
              FailureOf([&] { HttpGet(server.url() + L"/p", L"", folder / L"new.zip", nullptr); }));
    EXPECT_FALSE(PathExists(folder / L"new.zip")) << status;
    EXPECT_EQ("服务器返回错误",
              FailureOf([&] { HttpGet(server.url(), L"", L"", nullptr); }));
  }
}

TEST(HttpGet, AnswersWithoutContentGiveAnEmptyBodyAndAnEmptyFile) {
  // 304 carries no body even where it announces the length of the page it stands for.
  HttpResponse notModified = HttpResponse::Body("", 304);
  notModified.framing = HttpResponse::Framing::CloseDelimited;
  notModified.headers = {{"Content-Length", "1000"}};
  for (const auto& response : {HttpResponse::Body("", 204), notModified}) {
    TempFolder folder;
    TestHttpServer server(Answer(response));
    ASSERT_TRUE(server.listening());
    EXPECT_EQ("", HttpGet(server.url() + L"/p", L"", L"", nullptr)) << response.status;
    WriteBytes(folder / L"p.zip", "earlier bytes");
    EXPECT_EQ("", HttpGet(server.url() + L"/p", L"", folder / L"p.zip", nullptr));
    EXPECT_TRUE(PathExists(folder / L"p.zip"));
    EXPECT_EQ("", ReadBytes(folder / L"p.zip")) << response.status;
  }
}

TEST(HttpGet, DeliversTheBodyByteForByteInMemoryOrInTheFile) {
  TempFolder folder;
  const std::string body = SomeBytes(3 << 20);
  TestHttpServer server(Answer(HttpResponse::Body(body)));
  ASSERT_TRUE(server.listening());
  EXPECT_EQ(body, HttpGet(server.url() + L"/p.zip", L"", L"", nullptr));
  EXPECT_EQ("", HttpGet(server.url() + L"/p.zip", L"", folder / L"p.zip", nullptr));
  EXPECT_EQ(body, ReadBytes(folder / L"p.zip"));
}

TEST(HttpGet, ReadsChunkedAndCloseDelimitedBodiesToTheEnd) {
  const std::string body = SomeBytes(100000);
  using Framing = HttpResponse::Framing;
  for (const auto framing : {Framing::Chunked, Framing::CloseDelimited}) {
    HttpResponse response;
    response.framing = framing;
    response.pieces = {body.substr(0, 30000), body.substr(30000, 1), body.substr(30001)};
    response.pauseMs = 50;
    TestHttpServer server(Answer(response));
    ASSERT_TRUE(server.listening());
    EXPECT_EQ(body, HttpGet(server.url() + L"/p.zip", L"", L"", nullptr));
  }
}

TEST(HttpGet, RefusedConnectionIsANetworkFailure) {
  std::wstring url;
  {
    TestHttpServer gone(Answer(HttpResponse::Body("")));
    url = gone.url() + L"/api/settings/downloader";
  }
  EXPECT_EQ("网络请求失败", FailureOf([&] { HttpGet(url, L"", L"", nullptr); }));
}
