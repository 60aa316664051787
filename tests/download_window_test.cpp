// The real installer window downloading a package from loopback servers: the progress bar
// leaves its marquee and shows the percentage as the package arrives.
#include <gtest/gtest.h>

#include <cstdio>

#include "app/main_window.h"
#include "common/code_pages.h"
#include "support/files.h"
#include "support/http_server.h"
#include "support/window_driver.h"

namespace {

constexpr size_t kPieces = 10;
constexpr size_t kPieceBytes = 100000;
const std::wstring kInstallFolder = L"C:\\Tovarelin";

// A body that passes the signature check, sent in pieces far enough apart to watch the bar.
HttpResponse SlowPackage() {
  HttpResponse response;
  for (size_t i = 0; i < kPieces; ++i) response.pieces.emplace_back(kPieceBytes, 'p');
  response.pieces[0].replace(0, 4, "PK\x03\x04");
  response.pauseMs = 300;
  return response;
}

}  // namespace

TEST(DownloadWindow, ProgressLeavesTheMarqueeAndRisesWhileThePackageArrives) {
  const bool folderExisted = PathExists(kInstallFolder);
  TestHttpServer packages([](const HttpRequest&) { return SlowPackage(); });
  const std::string link = WideToUtf8(packages.url()) + "/files/Tovarelin.zip";
  TestHttpServer settings([&](const HttpRequest&) {
    return HttpResponse::Body(R"({"api_key":"","download_url":")" + link + R"("})");
  }, SettingsServerPort());
  ASSERT_TRUE(packages.listening());
  ASSERT_TRUE(settings.listening()) << "the settings port is taken";

  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();
  EXPECT_TRUE(installer.ProgressIsMarquee());

  // Every distinct position shown once the marquee is gone, until the run ends.
  std::vector<int> positions;
  MessageBoxInfo box;
  const bool ended = WaitUntil([&] {
    if ((box = installer.FindMessageBox()).window) return true;
    if (!installer.ProgressIsMarquee()) {
      const int position = installer.ProgressPosition();
      if (positions.empty() || positions.back() != position) positions.push_back(position);
    }
    return false;
  }, std::chrono::seconds(120));

  ASSERT_EQ(1u, settings.requests().size());
  ASSERT_EQ(1u, packages.requests().size());
  EXPECT_EQ("/files/Tovarelin.zip", packages.requests()[0].target);
  // A failed run resets the bar to 0 before its message box appears.
  if (ended && positions.size() > 1 && positions.back() == 0) positions.pop_back();
  const std::string shown = ::testing::PrintToString(positions);
  ASSERT_GE(positions.size(), 4u) << "too few steps shown: " << shown;
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_LT(positions[i - 1], positions[i]) << shown;
  EXPECT_GT(positions.front(), 0) << shown;
  EXPECT_LE(positions.front(), 50) << shown;
  EXPECT_GE(positions.back(), 90) << shown;
  EXPECT_LE(positions.back(), 100) << shown;
  std::printf("progress shown: %s\n", shown.c_str());

  // What follows the download (extraction and the rest) is not judged here: only that the
  // run ends with its message box.
  ASSERT_TRUE(ended) << "the run did not end";
  EXPECT_EQ(L"安装失败", box.caption);
  installer.DismissMessageBox(box);
  if (!folderExisted) RemoveTree(kInstallFolder);
}
