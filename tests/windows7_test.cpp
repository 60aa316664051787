// Windows 7 as Wine plays it: CTest has Wine report version 6.1 to this program
// (TOVARELIN_WINDOWS_VERSION in tests/wine/run.sh). Wine's shell cannot open zips at all, so
// the extraction's choice is shown by the function that makes it, on the real version.
#include <gtest/gtest.h>

#include <windows.h>

#include "common/windows_version.h"
#include "install/extract_internal.h"
#include "support/files.h"
#include "support/zip_builder.h"

TEST(Windows7, ZipNamesMarkedUtf8GoToOurReaderOtherPackagesToTheShell) {
  const WindowsVersion version = RunningWindowsVersion();
  ASSERT_EQ(6u, version.major);
  ASSERT_EQ(1u, version.minor);
  TempFolder folder;
  // As 7-Zip, Info-ZIP and Python write Chinese names; as Chinese Windows writes them; ASCII.
  const std::string oemName = "Tovarelin/\xf6\xab\xe1\xb0\xd6\xdb.exe";
  WriteBytes(folder / L"marked.zip",
             ZipBuilder().Add(ZipEntry::File("Tovarelin/霁岚舟.exe", "MZ").Utf8()).Finish());
  WriteBytes(folder / L"oem.zip", ZipBuilder().Add(ZipEntry::File(oemName, "MZ")).Finish());
  WriteBytes(folder / L"ascii.zip",
             ZipBuilder().Add(ZipEntry::File("Tovarelin/product.exe", "MZ").Utf8()).Finish());
  EXPECT_TRUE(OwnReaderTakesPackage(folder / L"marked.zip"));
  EXPECT_FALSE(OwnReaderTakesPackage(folder / L"oem.zip"));
  EXPECT_FALSE(OwnReaderTakesPackage(folder / L"ascii.zip"));
}
