// The body loop of the GET transfer: progress messages, bodies that break off, failed writes.
#include <gtest/gtest.h>

#include "common/handles.h"
#include "common/progress.h"
#include "net/http_get.h"
#include "net/http_get_internal.h"
#include "support/failure.h"
#include "support/files.h"
#include "support/http_server.h"
#include "support/stand_in_window.h"

namespace {

using Percents = std::vector<unsigned>;

// A body sent as pieces of the given sizes, with a pause before each piece after the first.
HttpResponse InPieces(std::initializer_list<size_t> sizes) {
  HttpResponse response;
  for (const size_t size : sizes) response.pieces.emplace_back(size, 'x');
  response.pauseMs = 200;
  return response;
}

}  // namespace

TEST(ProgressPercent, ReportsEachNewPercentOnceAndNeverAboveOneHundred) {
  struct Case {
    uint64_t total;
    std::vector<uint64_t> chunks;
    Percents shown;
  };
  const uint64_t fiveGiB = 5ull << 30;
  const Case cases[] = {
      {1000, {300, 300, 400}, {30, 60, 100}},
      {1000, {1, 2, 6, 1, 990}, {0, 1, 100}},
      {1000, {600, 900, 50}, {60, 100}},
      {fiveGiB, {fiveGiB / 4, fiveGiB / 4, fiveGiB / 2 - 1, 1}, {25, 50, 99, 100}},
      {0xFFFFFFFFull + 1, {0x80000000ull, 0x80000000ull}, {50, 100}},
      {0, {300, 300}, {}},
  };
  for (const auto& c : cases) {
    ProgressPercent progress(c.total);
    Percents shown;
    for (const uint64_t chunk : c.chunks)
      if (const auto percent = progress.Add(chunk)) shown.push_back(*percent);
    EXPECT_EQ(c.shown, shown) << c.total;
  }
}

TEST(ParseContentLength, AcceptsPlainDecimalsThatFitSixtyFourBits) {
  const std::pair<const wchar_t*, uint64_t> cases[] = {
      {L"1000", 1000},
      {L"0", 0},
      {L"5368709120", 5ull << 30},
      {L"18446744073709551615", UINT64_MAX},
      {L"18446744073709551616", 0},
      {L"", 0},
      {L"-1", 0},
      {L"12 ", 0},
      {L"0x10", 0},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(value, ParseContentLength(text)) << text;
}

TEST(HttpGet, PostsThePercentAfterEachPieceThatChangesIt) {
  StandInWindow window;
  TestHttpServer server(Answer(InPieces({300, 300, 400})));
  ASSERT_TRUE(server.listening());
  TempFolder folder;
  HttpGet(server.url() + L"/p.zip", L"", folder / L"p.zip", window.window());
  EXPECT_EQ((Percents{30, 60, 100}), window.Progress());
  EXPECT_EQ(1000u, ReadBytes(folder / L"p.zip").size());
}

TEST(HttpGet, ManySmallReadsPostAtMostOneMessagePerPercent) {
  StandInWindow window;
  HttpResponse response = InPieces({});
  for (int i = 0; i < 40; ++i) response.pieces.emplace_back(65536 + i, 'y');
  response.pauseMs = 5;
  TestHttpServer server(Answer(response));
  ASSERT_TRUE(server.listening());
  HttpGet(server.url() + L"/p.zip", L"", L"", window.window());
  const Percents shown = window.Progress();
  ASSERT_FALSE(shown.empty());
  EXPECT_LE(shown.size(), 101u);
  for (size_t i = 1; i < shown.size(); ++i) EXPECT_LT(shown[i - 1], shown[i]);
  EXPECT_EQ(100u, shown.back());
}

TEST(HttpGet, PostsNothingWithoutAProgressBarOrWithoutALength) {
  StandInWindow window;
  TestHttpServer known(Answer(InPieces({300, 300, 400})));
  HttpResponse chunked = InPieces({300, 300, 400});
  chunked.framing = HttpResponse::Framing::Chunked;
  TestHttpServer unknown(Answer(chunked));
  ASSERT_TRUE(known.listening() && unknown.listening());
  EXPECT_EQ(1000u, HttpGet(known.url() + L"/p.zip", L"", L"", nullptr).size());
  EXPECT_EQ(1000u, HttpGet(unknown.url() + L"/p.zip", L"", L"", window.window()).size());
  EXPECT_TRUE(window.Progress().empty());
}

TEST(HttpGet, BodyThatBreaksOffIsANetworkFailure) {
  TempFolder folder;
  // After 600 bytes: an orderly close short of the announced 1,000, or a reset mid-body,
  // which is the only sign of a break when no length was announced.
  HttpResponse closed = InPieces({300, 300, 400});
  closed.dropAfter = 600;
  HttpResponse reset = closed;
  reset.resetOnDrop = true;
  HttpResponse chunkedReset = reset;
  chunkedReset.framing = HttpResponse::Framing::Chunked;
  for (const auto& response : {closed, reset, chunkedReset}) {
    StandInWindow window;
    TestHttpServer server(Answer(response));
    ASSERT_TRUE(server.listening());
    EXPECT_EQ("网络请求失败",
              FailureOf([&] { HttpGet(server.url() + L"/s", L"", L"", nullptr); }));
    EXPECT_EQ("网络请求失败", FailureOf([&] {
                HttpGet(server.url() + L"/p.zip", L"", folder / L"p.zip", window.window());
              }));
    for (const unsigned percent : window.Progress()) EXPECT_LT(percent, 100u);
  }
}

TEST(HttpGet, FileThatCannotBeCreatedIsAWriteFailure) {
  TempFolder folder;
  TestHttpServer server(Answer(HttpResponse::Body("PK\x03\x04")));
  ASSERT_TRUE(server.listening());
  MakeFolders(folder / L"taken.zip");
  WriteBytes(folder / L"open.zip", "earlier bytes");
  // Held open without sharing, as by another program.
  FileHandle held(CreateFileW((folder / L"open.zip").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(held);
  for (const auto& name : {L"missing\\p.zip", L"taken.zip", L"open.zip"})
    EXPECT_EQ("无法写入下载文件",
              FailureOf([&] { HttpGet(server.url() + L"/p.zip", L"", folder / name, nullptr); }))
        << name;
  held.reset();
  EXPECT_EQ("earlier bytes", ReadBytes(folder / L"open.zip"));
}

TEST(HttpGet, FullDiskEndsTheDownloadWithAWriteFailure) {
  // Wine maps Z: to the Unix root. /dev/full opens like a file and refuses every write as a full
  // disk does, so the file is created and the first write fails.
  const std::wstring fullDevice = L"Z:\\dev\\full";
  {
    FileHandle probe(CreateFileW(fullDevice.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe) GTEST_SKIP() << "no full device on this system";
    DWORD written = 0;
    ASSERT_FALSE(WriteFile(probe.get(), "PK", 2, &written, nullptr));
    ASSERT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
  }
  TestHttpServer server(Answer(InPieces({300, 300, 400})));
  ASSERT_TRUE(server.listening());
  EXPECT_EQ("无法写入下载文件",
            FailureOf([&] { HttpGet(server.url() + L"/p.zip", L"", fullDevice, nullptr); }));
}
