// The real installer window, driven from outside through its controls.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/shared_state.h"
#include "constants.h"
#include "support/http_server.h"
#include "support/window_driver.h"

namespace {

constexpr COLORREF kButtonFace = RGB(34, 170, 136);
constexpr COLORREF kButtonFaceDisabled = RGB(159, 216, 202);

uint16_t SettingsPort() {
  const std::wstring url = kSettingsServerUrl;
  return static_cast<uint16_t>(std::stoi(url.substr(url.rfind(L':') + 1)));
}

// A settings server that accepts the request and never answers: the run stays in progress.
HttpResponse Silence(const HttpRequest&) {
  HttpResponse response;
  response.neverAnswer = true;
  return response;
}

}  // namespace

TEST(Window, StartsReadyWithTheFirstDriveAndItsFolder) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  EXPECT_EQ(L"霁岚舟安装器", installer.Text(installer.window()));

  RECT frame;
  GetWindowRect(installer.window(), &frame);
  EXPECT_EQ(560, frame.right - frame.left);
  EXPECT_EQ(420, frame.bottom - frame.top);
  const LONG_PTR style = GetWindowLongPtrW(installer.window(), GWL_STYLE);
  EXPECT_EQ(0, style & (WS_THICKFRAME | WS_MAXIMIZEBOX));

  const auto drives = installer.DriveEntries();
  ASSERT_FALSE(drives.empty());
  EXPECT_EQ(L"C:\\", drives[0]);
  EXPECT_EQ(0, installer.DriveSelection());
  EXPECT_EQ(L"C:\\Tovarelin", installer.Text(installer.control(IDC_LOCATION_LABEL)));

  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_EQ(L"开始安装", installer.Text(button));
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ(0, installer.ProgressPosition());
}

TEST(Window, PaintsTheCardButtonAndLocationBoxInTheirColours) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  // Painting happens after the window appears; wait for each area to show its colour.
  const auto shows = [&](HWND control, int x, int y, COLORREF colour) {
    return WaitUntil([&] { return installer.PixelAt(control, x, y) == colour; }, std::chrono::seconds(5));
  };
  EXPECT_TRUE(shows(installer.window(), 5, 5, RGB(247, 249, 252)));
  EXPECT_TRUE(shows(installer.window(), 30, 350, RGB(255, 255, 255)));
  EXPECT_TRUE(shows(installer.window(), 48, 266, RGB(248, 251, 255)));
  EXPECT_TRUE(shows(installer.control(IDC_START_BUTTON), 3, 3, kButtonFace));
  EXPECT_TRUE(shows(installer.control(IDC_LOCATION_LABEL), 268, 20, RGB(248, 251, 255)));
}

TEST(Window, ChoosingADriveUpdatesTheLabel) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  const auto drives = installer.DriveEntries();
  ASSERT_GE(drives.size(), 2u) << "the prefix offers C: and Z:";
  installer.SelectDrive(1);
  EXPECT_EQ(drives[1] + L"Tovarelin", installer.Text(installer.control(IDC_LOCATION_LABEL)));
}

TEST(Window, PressDisablesTheControlsAndRunsTheMarqueeUntilClosed) {
  TestHttpServer settings(Silence, SettingsPort());
  ASSERT_TRUE(settings.listening());
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  HWND button = installer.control(IDC_START_BUTTON);

  installer.PressButton();
  installer.PressButton();  // the first press has already disabled the button
  EXPECT_FALSE(installer.Enabled(button));
  EXPECT_FALSE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_TRUE(installer.ProgressIsMarquee());
  EXPECT_EQ(L"开始安装", installer.Text(button));
  EXPECT_TRUE(WaitUntil([&] { return installer.PixelAt(button, 3, 3) == kButtonFaceDisabled; }));
  EXPECT_TRUE(WaitUntil([&] { return settings.requests().size() == 1; }));
  Sleep(300);
  EXPECT_EQ(1u, settings.requests().size());

  // Closing mid-run neither waits for the worker nor fails.
  installer.Close();
  DWORD exitCode = 99;
  ASSERT_TRUE(installer.WaitForExit(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}

TEST(Window, ProgressMessagesShowThePercentage) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  for (int percent : {30, 60, 100}) {
    SendMessageW(installer.window(), WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
    EXPECT_EQ(percent, installer.ProgressPosition());
    EXPECT_FALSE(installer.ProgressIsMarquee());
  }
  // Filled in the button's green up to the position, the pale green beyond it.
  HWND bar = installer.control(IDC_PROGRESS_BAR);
  SendMessageW(installer.window(), WM_INSTALL_PROGRESS, 30, 0);
  const auto shows = [&](int x, COLORREF colour) {
    return WaitUntil([&] { return installer.PixelAt(bar, x, 6) == colour; }, std::chrono::seconds(5));
  };
  EXPECT_TRUE(shows(60, kButtonFace));
  EXPECT_TRUE(shows(400, RGB(234, 248, 243)));
}

TEST(Window, SuccessShowsFullProgressAndOffersToOpenTheFolder) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  PostMessageW(installer.window(), WM_INSTALL_DONE, 1, 0);
  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_TRUE(WaitUntil([&] { return installer.Text(button) == L"打开目录"; }));
  EXPECT_EQ(100, installer.ProgressPosition());
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  Sleep(300);
  EXPECT_EQ(nullptr, installer.FindMessageBox().window);
}

TEST(Window, FailureWithoutTextShowsTheGenericMessage) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  PostMessageW(installer.window(), WM_INSTALL_DONE, 0, 0);
  MessageBoxInfo box;
  ASSERT_TRUE(WaitUntil([&] { return (box = installer.FindMessageBox()).window != nullptr; }));
  EXPECT_EQ(L"安装失败", box.caption);
  EXPECT_EQ(L"安装失败", box.text);
  installer.DismissMessageBox(box);
  EXPECT_EQ(0, installer.ProgressPosition());
  EXPECT_EQ(L"开始安装", installer.Text(installer.control(IDC_START_BUTTON)));
}

TEST(Window, FailedRunShowsTheWorkersTextAndReturnsToReady) {
  // Nothing listens on the settings port: the first request fails.
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.PressButton();

  MessageBoxInfo box;
  ASSERT_TRUE(WaitUntil([&] { return (box = installer.FindMessageBox()).window != nullptr; },
                        std::chrono::seconds(60)));
  EXPECT_EQ(L"安装失败", box.caption);
  EXPECT_EQ(L"网络请求失败", box.text);
  installer.DismissMessageBox(box);

  HWND button = installer.control(IDC_START_BUTTON);
  EXPECT_TRUE(installer.Enabled(button));
  EXPECT_TRUE(installer.Enabled(installer.control(IDC_DRIVE_COMBO)));
  EXPECT_EQ(L"开始安装", installer.Text(button));
  EXPECT_EQ(0, installer.ProgressPosition());
  EXPECT_TRUE(WaitUntil([&] { return installer.PixelAt(button, 3, 3) == kButtonFace; }));
}

TEST(Window, ClosingTheIdleWindowExitsWithZero) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  installer.Close();
  DWORD exitCode = 99;
  ASSERT_TRUE(installer.WaitForExit(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}
