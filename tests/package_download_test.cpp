// Bringing the package onto the disk: the link chosen, the parser request, the file name.
#include <gtest/gtest.h>

#include "common/shared_state.h"
#include "common/code_pages.h"
#include "net/package_download.h"
#include "net/package_download_internal.h"
#include "support/failure.h"
#include "support/files.h"
#include "support/http_server.h"
#include "support/signing.h"
#include "support/stand_in_window.h"

namespace {

const std::string kPackage = "PK\x03\x04 package bytes";

// A package host and a parser service that answers with the given body and status.
struct Services {
  explicit Services(const std::string& parserAnswer, int parserStatus = 200)
      : packages(Answer(HttpResponse::Body(kPackage))),
        parser(Answer(HttpResponse::Body(parserAnswer, parserStatus))) {}

  std::string PackageLink(const std::string& path) const {
    return WideToUtf8(packages.url()) + path;
  }

  TestHttpServer packages;
  TestHttpServer parser;
};

}  // namespace

TEST(PercentEncodeUtf8, KeepsUnreservedCharactersAndEncodesEveryOtherByte) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"a b/c~d_e.f-g", L"a%20b%2Fc~d_e.f-g"},
      {L"中", L"%E4%B8%AD"},
      {L"", L""},
      {L"https://www.lanzou.com/i7a?p=1&q=%+",
       L"https%3A%2F%2Fwww.lanzou.com%2Fi7a%3Fp%3D1%26q%3D%25%2B"},
      {L"AZaz09\x7F", L"AZaz09%7F"},
  };
  for (const auto& [text, encoded] : cases) EXPECT_EQ(encoded, PercentEncodeUtf8(text)) << text;
}

TEST(MakeUniquePath, CountsUpFromOneWhileNamesAreTaken) {
  TempFolder folder;
  const std::wstring package = folder / L"Tovarelin.zip";
  EXPECT_EQ(package, MakeUniquePath(package));
  WriteBytes(package, "old");
  EXPECT_EQ(folder / L"Tovarelin (1).zip", MakeUniquePath(package));
  MakeFolders(folder / L"Tovarelin (1).zip");  // a folder takes the name as well as a file
  EXPECT_EQ(folder / L"Tovarelin (2).zip", MakeUniquePath(package));
  WriteBytes(folder / L"noext", "");
  EXPECT_EQ(folder / L"noext (1)", MakeUniquePath(folder / L"noext"));
}

TEST(DownloadPackage, EmptyLinkStopsBeforeAnyRequest) {
  TempFolder folder;
  Services services("[]");
  const DownloaderSettings settings{services.parser.url(), L"key", L""};
  EXPECT_EQ("后台未配置霁岚舟安装包下载链接",
            FailureOf([&] { DownloadPackage(settings, folder / L"_download"); }));
  EXPECT_TRUE(PathExists(folder / L"_download"));
  EXPECT_TRUE(services.parser.requests().empty());
}

TEST(DownloadPackage, ZipLinksAreDownloadedDirectlyWithProgress) {
  StandInWindow window;
  g_progressBar = window.window();  // any window switches progress reporting on
  Services services(R"(["https://never.example/other.zip"])");
  for (const std::string path : {"/files/Tovarelin.ZIP", "/get/p.zip?sign=1"}) {
    TempFolder folder;
    const DownloaderSettings settings{services.parser.url(), L"",
                                      Utf8ToWide(services.PackageLink(path))};
    const DownloadedPackage package = DownloadPackage(settings, folder.path());
    EXPECT_EQ(folder / L"Tovarelin.zip", package.path);
    EXPECT_EQ(kPackage, ReadBytes(folder / L"Tovarelin.zip"));
    EXPECT_EQ(Sha256Of(kPackage), package.sha256);  // taken as it was written
    EXPECT_EQ(path, services.packages.requests().back().target);
  }
  EXPECT_TRUE(services.parser.requests().empty());
  EXPECT_EQ((std::vector<unsigned>{100, 100}), window.Progress());
}

TEST(DownloadPackage, ShareLinksGoThroughTheParserAndTheBestCandidateIsDownloaded) {
  TempFolder folder;
  TestHttpServer packages(Answer(HttpResponse::Body(kPackage)));
  const std::string base = WideToUtf8(packages.url());
  TestHttpServer parser([&](const HttpRequest&) {
    return HttpResponse::Body(R"({"data":{"page":"https://www.lanzou.com/i7abc","urls":[")" +
                              base + R"(/plain/file",")" + base + R"(/best/p.zip"]}})");
  });
  const std::wstring shareLink = L"https://www.lanzou.com/i7abc?pwd=a b";
  for (const std::wstring key : {L"", L"k-123"}) {
    const std::wstring path = DownloadPackage({parser.url(), key, shareLink}, folder.path()).path;
    EXPECT_EQ(kPackage, ReadBytes(path));
    const HttpRequest parserRequest = parser.requests().back();
    EXPECT_EQ("/json/parser?url=" + WideToUtf8(PercentEncodeUtf8(shareLink)), parserRequest.target);
    const HttpRequest download = packages.requests().back();
    EXPECT_EQ("/best/p.zip", download.target);
    EXPECT_EQ(!key.empty(), parserRequest.HasHeader("X-API-Key"));
    EXPECT_EQ(!key.empty(), download.HasHeader("X-API-Key"));
    EXPECT_EQ(key.empty() ? "" : "k-123", download.Header("X-API-Key"));
  }
  // Without the record of its download the first package is not continued: it gave way.
  EXPECT_EQ(std::vector<std::wstring>{L"Tovarelin.zip"}, ListTree(folder.path()));
  EXPECT_EQ(2u, packages.requests().size());
}

TEST(DownloadPackage, ParserTroubleFallsBackToTheShareLinkSilently) {
  Services refusing("{}", 500);
  Services empty(R"({"code":1,"msg":"no link"})");
  std::wstring unreachable;
  {
    TestHttpServer gone(Answer(HttpResponse::Body("")));
    unreachable = gone.url();
  }
  const std::pair<Services*, std::wstring> cases[] = {
      {&refusing, refusing.parser.url()}, {&empty, empty.parser.url()}, {&empty, unreachable},
      {&empty, L"not a url"}};
  for (const auto& [services, parserBase] : cases) {
    TempFolder folder;
    const std::wstring shareLink = Utf8ToWide(services->PackageLink("/s/i7abc"));
    const std::wstring path = DownloadPackage({parserBase, L"", shareLink}, folder.path()).path;
    EXPECT_EQ(kPackage, ReadBytes(path)) << parserBase;
    EXPECT_EQ("/s/i7abc", services->packages.requests().back().target);
  }
}

TEST(DownloadPackage, FailedDownloadIsReportedWithoutTryingOtherCandidates) {
  TempFolder folder;
  TestHttpServer packages(Answer(HttpResponse::Body("gone", 404)));
  const std::string base = WideToUtf8(packages.url());
  TestHttpServer parser([&](const HttpRequest&) {
    return HttpResponse::Body("[\"" + base + "/a.zip\",\"" + base + "/b.zip\"]");
  });
  const DownloaderSettings settings{parser.url(), L"", L"https://www.lanzou.com/i7abc"};
  EXPECT_EQ("服务器返回错误", FailureOf([&] { DownloadPackage(settings, folder.path()); }));
  EXPECT_EQ(1u, packages.requests().size());
  EXPECT_FALSE(PathExists(folder / L"Tovarelin.zip"));
}
