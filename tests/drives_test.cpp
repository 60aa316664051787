#include <gtest/gtest.h>

#include <map>

#include "app/drives_internal.h"
#include "common/install_location.h"
#include "common/install_location_internal.h"

namespace {

std::vector<std::wstring> DrivesWith(DWORD mask, std::map<wchar_t, UINT> types) {
  return InstallDrivesFromMask(mask, [&](const std::wstring& root) {
    EXPECT_EQ(3u, root.size());
    return types.count(root[0]) ? types[root[0]] : DRIVE_NO_ROOT_DIR;
  });
}

DWORD Bit(wchar_t letter) { return 1u << (letter - L'A'); }

}  // namespace

TEST(InstallDrives, OffersFixedAndRemovableDrivesInLetterOrder) {
  const DWORD mask = Bit(L'C') | Bit(L'D') | Bit(L'E');
  EXPECT_EQ((std::vector<std::wstring>{L"C:\\", L"E:\\"}),
            DrivesWith(mask, {{L'C', DRIVE_FIXED}, {L'D', DRIVE_CDROM}, {L'E', DRIVE_REMOVABLE}}));
  EXPECT_EQ((std::vector<std::wstring>{L"D:\\", L"Z:\\"}),
            DrivesWith(Bit(L'Z') | Bit(L'D'), {{L'Z', DRIVE_FIXED}, {L'D', DRIVE_FIXED}}));
}

TEST(InstallDrives, FallsBackToCWhenNothingIsUsable) {
  const std::vector<std::wstring> onlyC{L"C:\\"};
  EXPECT_EQ(onlyC, DrivesWith(0, {}));
  EXPECT_EQ(onlyC, DrivesWith(Bit(L'G') | Bit(L'H'), {{L'G', DRIVE_REMOTE}, {L'H', DRIVE_RAMDISK}}));
  EXPECT_EQ(onlyC, DrivesWith(Bit(L'D'), {{L'D', DRIVE_UNKNOWN}}));
}

TEST(InstallDrives, NeverProbesAOrB) {
  int probes = 0;
  const auto drives = InstallDrivesFromMask(Bit(L'A') | Bit(L'B') | Bit(L'F'), [&](const std::wstring& root) {
    ++probes;
    EXPECT_EQ(L'F', root[0]);
    return static_cast<UINT>(DRIVE_REMOVABLE);
  });
  EXPECT_EQ(1, probes);
  EXPECT_EQ(std::vector<std::wstring>{L"F:\\"}, drives);
}

TEST(InstallFolder, JoinsRootAndProductFolderWithOneBackslash) {
  EXPECT_EQ(L"C:\\Tovarelin", InstallFolderForDrive(L"C:\\"));
  EXPECT_EQ(L"D:\\Tovarelin", InstallFolderForDrive(L"D:"));
  EXPECT_EQ(L"E:/\\Tovarelin", InstallFolderForDrive(L"E:/"));
  EXPECT_EQ(L"Tovarelin", InstallFolderForDrive(L""));
}

TEST(DriveSelection, UsesCForNoSelectionOrAnIndexPastTheList) {
  const std::vector<std::wstring> drives{L"D:\\", L"E:\\"};
  EXPECT_EQ(L"D:\\", DriveRootForSelection(0, drives));
  EXPECT_EQ(L"E:\\", DriveRootForSelection(1, drives));
  EXPECT_EQ(L"C:\\", DriveRootForSelection(2, drives));
  EXPECT_EQ(L"C:\\", DriveRootForSelection(-1, drives));  // CB_ERR
  EXPECT_EQ(L"C:\\", DriveRootForSelection(0, {}));
}
