#include <gtest/gtest.h>

#include "common/handles.h"
#include "install/extract.h"
#include "support/files.h"
#include "support/zip_builder.h"

// Wine's shell cannot open a zip file as a folder, so there these cases go through our own
// reader, as they do on Windows with the compressed folders switched off.
class ExtractTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeFolders(Destination());
    ZipBuilder builder;
    WriteBytes(Package(), builder.Add(ZipEntry::File("霁岚舟.exe", "MZ")).Finish());
  }
  std::wstring Destination() const { return root_ / L"Tovarelin"; }
  std::wstring Package() const { return root_ / L"Tovarelin.zip"; }

  ComApartment apartment_;
  TempFolder root_;
};

TEST_F(ExtractTest, UnpacksThePackageTreeIntoTheDestination) {
  ZipBuilder builder;
  builder.Add(ZipEntry::File("bin/霁岚舟.exe", "MZ program").Deflated().Utf8())
      .Add(ZipEntry::Folder("bin/plugins/"))
      .Add(ZipEntry::File("readme.txt", "hello"));
  WriteBytes(Package(), builder.Finish());
  ASSERT_EQ(Extraction::kExtractedAndChecked,
            ExtractZipToFolder(Package(), Destination(), {}).outcome);
  EXPECT_EQ(
      std::vector<std::wstring>({L"bin\\", L"bin\\plugins\\", L"bin\\霁岚舟.exe", L"readme.txt"}),
      ListTree(Destination()));
  EXPECT_EQ("MZ program", ReadBytes(Destination() + L"\\bin\\霁岚舟.exe"));
}

TEST_F(ExtractTest, FailsForAPackageThatCannotBeOpened) {
  for (const std::string& bytes : {std::string("PK\x03\x04 not really"), std::string("<html>")}) {
    WriteBytes(Package(), bytes);
    EXPECT_EQ(Extraction::kFailed, ExtractZipToFolder(Package(), Destination(), {}).outcome);
  }
  EXPECT_EQ(Extraction::kFailed,
            ExtractZipToFolder(root_ / L"missing.zip", Destination(), {}).outcome);
  EXPECT_TRUE(ListTree(Destination()).empty());
}

TEST_F(ExtractTest, FailsForAMissingDestinationAndCreatesNothing) {
  EXPECT_EQ(Extraction::kFailed, ExtractZipToFolder(Package(), root_ / L"missing", {}).outcome);
  EXPECT_FALSE(PathExists(root_ / L"missing"));
}

TEST_F(ExtractTest, FailsForAPackageTheReaderRefuses) {
  ZipBuilder builder;
  WriteBytes(Package(), builder.Add(ZipEntry::File("../霁岚舟.exe", "MZ")).Finish());
  EXPECT_EQ(Extraction::kFailed, ExtractZipToFolder(Package(), Destination(), {}).outcome);
  EXPECT_FALSE(PathExists(root_ / L"霁岚舟.exe"));
}
