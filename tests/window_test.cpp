// The real installer window, driven from outside through its controls.
#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/window_style.h"
#include "common/handles.h"
#include "common/shared_state.h"
#include "support/window_driver.h"

TEST(Window, PaintsTheCardButtonAndLocationBoxInTheirColours) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  // Painting happens after the window appears; wait for each area to show its colour.
  const auto shows = [&](HWND control, int x, int y, COLORREF colour) {
    return WaitUntil([&] { return installer.PixelAt(control, x, y) == colour; }, std::chrono::seconds(5));
  };
  EXPECT_TRUE(shows(installer.window(), 5, 5, kWindowBackground));
  EXPECT_TRUE(shows(installer.window(), kCardBox.x + 10, kCardBox.Rect().bottom - 10,
                    kCardBackground));
  EXPECT_TRUE(shows(installer.window(), kLocationBox.x + 2, kLocationBox.Rect().bottom - 4,
                    kLocationBackground));
  EXPECT_TRUE(shows(installer.control(IDC_START_BUTTON), 3, 3, kButtonFace));
  EXPECT_TRUE(shows(installer.control(IDC_LOCATION_LABEL), kLocationLabelBox.width - 2, 20,
                    kLocationBackground));
  // The window class's icon, loaded as the installer loads it (its 32-bit images are PNG),
  // draws its teal disc.
  const HMODULE installerFile =
      LoadLibraryExW((TestProgramFolder() + L"\\TovarelinInstaller.exe").c_str(), nullptr,
                     LOAD_LIBRARY_AS_DATAFILE);
  const HICON icon = LoadIconW(installerFile, MAKEINTRESOURCEW(1));
  ASSERT_NE(nullptr, icon);
  MemoryDc memory(CreateCompatibleDC(nullptr));
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 32, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  GdiObject bitmap(CreateDIBSection(memory.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ScopedSelection selected(memory.get(), bitmap.get());
  ASSERT_TRUE(DrawIconEx(memory.get(), 0, 0, icon, 32, 32, 0, nullptr, DI_NORMAL));
  EXPECT_EQ(RGB(34, 170, 136), GetPixel(memory.get(), 16, 3));
}

TEST(Window, ProgressMessagesShowThePercentage) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  for (int percent : {30, 60, 100}) {
    SendMessageW(installer.window(), WM_INSTALL_PROGRESS, static_cast<WPARAM>(percent), 0);
    EXPECT_EQ(percent, installer.ProgressPosition());
  }
  // Filled in the button's green up to the position, the pale green beyond it.
  HWND bar = installer.control(IDC_PROGRESS_BAR);
  SendMessageW(installer.window(), WM_INSTALL_PROGRESS, 30, 0);
  const auto shows = [&](int x, COLORREF colour) {
    return WaitUntil([&] { return installer.PixelAt(bar, x, 6) == colour; }, std::chrono::seconds(5));
  };
  EXPECT_TRUE(shows(60, kButtonFace));
  EXPECT_TRUE(shows(400, kProgressBackground));
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

TEST(Window, SecondStartRaisesTheOpenWindowAndClosingExitsWithZero) {
  InstallerProcess installer;
  ASSERT_TRUE(installer.window());
  PostMessageW(installer.window(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(installer.window()); }));
  DWORD secondId = 0;
  const KernelHandle second =
      StartProgram(TestProgramFolder() + L"\\TovarelinInstaller.exe", &secondId);
  bool secondWindow = false;
  EXPECT_TRUE(WaitUntil([&] {
    secondWindow = secondWindow || FindVisibleWindow(kMainWindowClass, secondId);
    return WaitForSingleObject(second.get(), 0) == WAIT_OBJECT_0;
  }, std::chrono::seconds(5))) << "the second installer still runs";
  TerminateProcess(second.get(), 99);  // when it did not end by itself
  DWORD secondExit = 99;
  GetExitCodeProcess(second.get(), &secondExit);
  EXPECT_EQ(0u, secondExit);
  EXPECT_FALSE(secondWindow);
  EXPECT_TRUE(WaitUntil([&] {
    return !IsIconic(installer.window()) && GetForegroundWindow() == installer.window();
  })) << "the open window was not brought back to the front";

  installer.Close();
  DWORD exitCode = 99;
  ASSERT_TRUE(installer.WaitForExit(10000, &exitCode));
  EXPECT_EQ(0u, exitCode);
}
