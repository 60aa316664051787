#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <zlib.h>

#include <cstdio>
#include <memory>

#include "common/code_pages.h"
#include "support/files.h"
#include "support/zip_builder.h"
#include "zip/zip_reader.h"

namespace {

using Tree = std::vector<std::wstring>;

class ZipReaderTest : public ::testing::Test {
 protected:
  // The destination sits beside a folder that no extraction may touch.
  void SetUp() override {
    MakeFolders(Destination());
    MakeFolders(Outside());
    WriteBytes(Outside() + L"\\keep.txt", "keep");
  }
  std::wstring Destination() const { return root_ / L"Tovarelin"; }
  std::wstring Outside() const { return root_ / L"outside"; }
  std::wstring In(const std::wstring& relative) const { return Destination() + L"\\" + relative; }

  bool Extract(const std::string& archive) {
    WriteBytes(root_ / L"package.zip", archive);
    return ExtractZipArchive(root_ / L"package.zip", Destination());
  }
  void ExpectOutsideUntouched() {
    EXPECT_EQ(Tree({L"keep.txt"}), ListTree(Outside()));
    Tree topLevel;
    for (const std::wstring& path : ListTree(root_.path())) {
      const size_t slash = path.find(L'\\');
      if (slash == std::wstring::npos || slash + 1 == path.size()) topLevel.push_back(path);
    }
    EXPECT_EQ(Tree({L"Tovarelin\\", L"outside\\", L"package.zip"}), topLevel);
  }

  TempFolder root_;
};

std::string Archive(std::initializer_list<ZipEntry> entries) {
  ZipBuilder builder;
  for (const ZipEntry& entry : entries) builder.Add(entry);
  return builder.Finish();
}

}  // namespace

TEST_F(ZipReaderTest, ExtractsStoredDeflatedNestedAndEmptyFolderEntries) {
  const std::string big(300000, 'z');
  ZipBuilder builder;
  builder.Add(ZipEntry::File("readme.txt", "read me"))
      .Add(ZipEntry::File("bin/data/big.bin", big).Deflated())
      .Add(ZipEntry::Folder("logs/"))
      .Add(ZipEntry::File("bin/described.txt", "after the data").Deflated().WithDescriptor())
      .Add(ZipEntry::File("bin/wide.txt", "zip64 sizes").Zip64())
      .Add(ZipEntry::File("empty.txt", ""))
      .WithZip64End();
  ASSERT_TRUE(Extract(builder.Finish()));

  EXPECT_EQ(Tree({L"bin\\", L"bin\\data\\", L"bin\\data\\big.bin", L"bin\\described.txt",
                  L"bin\\wide.txt", L"empty.txt", L"logs\\", L"readme.txt"}),
            ListTree(Destination()));
  EXPECT_EQ("read me", ReadBytes(In(L"readme.txt")));
  EXPECT_EQ(big, ReadBytes(In(L"bin\\data\\big.bin")));
  EXPECT_EQ("after the data", ReadBytes(In(L"bin\\described.txt")));
  EXPECT_EQ("zip64 sizes", ReadBytes(In(L"bin\\wide.txt")));
  EXPECT_EQ("", ReadBytes(In(L"empty.txt")));
  ExpectOutsideUntouched();
}

TEST_F(ZipReaderTest, GivesFilesTheArchivedModificationTime) {
  ASSERT_TRUE(Extract(Archive({ZipEntry::File("a.txt", "a")})));
  WIN32_FILE_ATTRIBUTE_DATA data = {};
  ASSERT_TRUE(GetFileAttributesExW(In(L"a.txt").c_str(), GetFileExInfoStandard, &data));
  FILETIME local = {};
  SYSTEMTIME time = {};
  FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
  FileTimeToSystemTime(&local, &time);
  EXPECT_EQ(2021, time.wYear);
  EXPECT_EQ(6, time.wMonth);
  EXPECT_EQ(15, time.wDay);
  EXPECT_EQ(12, time.wHour);
  EXPECT_EQ(34, time.wMinute);
}

TEST_F(ZipReaderTest, ReplacesExistingFilesAndKeepsOthers) {
  MakeFolders(In(L"bin"));
  WriteBytes(In(L"bin\\app.dll"), std::string(5000, 'o'));
  WriteBytes(In(L"bin\\user.cfg"), "mine");
  ASSERT_TRUE(Extract(Archive({ZipEntry::File("bin/app.dll", "new").Deflated()})));
  EXPECT_EQ("new", ReadBytes(In(L"bin\\app.dll")));
  EXPECT_EQ("mine", ReadBytes(In(L"bin\\user.cfg")));
}

// Names are decoded by DecodeEntryName (see its tests for the OEM code page).
TEST_F(ZipReaderTest, DecodesNamesAsUtf8WhenFlaggedOrWhenTheyAreUtf8) {
  const std::string name = WideToUtf8(L"霁岚舟/说明.txt");
  ASSERT_TRUE(Extract(Archive({ZipEntry::File(name, "flagged").Utf8()})));
  EXPECT_EQ("flagged", ReadBytes(In(L"霁岚舟\\说明.txt")));
  // Info-ZIP on Linux stores the same bytes without the flag.
  ASSERT_TRUE(Extract(Archive({ZipEntry::File(name, "unflagged")})));
  EXPECT_EQ("unflagged", ReadBytes(In(L"霁岚舟\\说明.txt")));
}

TEST_F(ZipReaderTest, RefusesUnsafeNamesBeforeWritingAnything) {
  for (const char* bad :
       {"../evil.txt", "bin/../../evil.txt", "/abs.txt", "\\abs.txt", "C:/evil.txt", "C:evil.txt",
        "good.txt:stream", "..\\evil.txt", "CON", "bin/aux.txt", "what?.txt"}) {
    // The unsafe name comes last, after entries that would be written first.
    const std::string archive =
        Archive({ZipEntry::File("good.txt", "good"), ZipEntry::Folder("folder/"),
                 ZipEntry::File(bad, "evil").Deflated()});
    EXPECT_FALSE(Extract(archive)) << bad;
    EXPECT_EQ(Tree(), ListTree(Destination())) << bad;
    ExpectOutsideUntouched();
  }
}

TEST_F(ZipReaderTest, RefusesBrokenOrUnsupportedArchivesBeforeWritingAnything) {
  const ZipEntry good = ZipEntry::File("good.txt", "good");
  const std::string plain = Archive({good, ZipEntry::File("second.txt", "second")});
  ZipBuilder builder;
  const std::string second = builder.Add(good).Add(ZipEntry::File("second.txt", "second")).Finish();

  const struct {
    const char* what;
    std::string archive;
  } cases[] = {
      {"not a zip", "PK but nothing else"},
      {"empty file", ""},
      {"truncated end", plain.substr(0, plain.size() - 5)},
      {"truncated half", plain.substr(0, plain.size() / 2)},
      {"second local header", FlipByte(second, builder.DataOffset(1) - 30 - 10)},
      {"encrypted", Archive({good, ZipEntry::File("secret.txt", "xxxx").Encrypted()})},
      {"bzip2 method", Archive({good, ZipEntry::File("b.txt", "bbbb").RecordedMethod(12)})},
      {"unknown method", Archive({good, ZipEntry::File("u.txt", "uuuu").RecordedMethod(99)})},
      {"stored sizes differ", Archive({good, ZipEntry::File("s.txt", "ssss").RecordedSize(9)})},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Extract(c.archive)) << c.what;
    EXPECT_EQ(Tree(), ListTree(Destination())) << c.what;
    ExpectOutsideUntouched();
  }
}

// Bad data shows only while it is copied: the bad file is removed, entries before it stay.
TEST_F(ZipReaderTest, RefusesDataThatFailsItsChecksAndRemovesTheBadFile) {
  const ZipEntry good = ZipEntry::File("good.txt", "good");
  const std::string text(20000, 't');
  ZipBuilder flipped;
  flipped.Add(good).Add(ZipEntry::File("bad.txt", text).Deflated());
  const std::string flippedBytes = FlipByte(flipped.Finish(), flipped.DataOffset(1) + 3);

  const struct {
    const char* what;
    std::string archive;
  } cases[] = {
      {"wrong crc", Archive({good, ZipEntry::File("bad.txt", text).WrongCrc()})},
      {"deflated wrong crc",
       Archive({good, ZipEntry::File("bad.txt", text).Deflated().WrongCrc()})},
      {"damaged deflate data", flippedBytes},
      {"larger than declared",
       Archive({good, ZipEntry::File("bad.txt", text).Deflated().RecordedSize(100)})},
      {"smaller than declared",
       Archive({good, ZipEntry::File("bad.txt", text).Deflated().RecordedSize(30000)})},
  };
  for (const auto& c : cases) {
    RemoveTree(Destination());
    MakeFolders(Destination());
    EXPECT_FALSE(Extract(c.archive)) << c.what;
    EXPECT_EQ(Tree({L"good.txt"}), ListTree(Destination())) << c.what;
    ExpectOutsideUntouched();
  }
}

TEST_F(ZipReaderTest, FailsForAMissingArchiveOrDestination) {
  EXPECT_FALSE(ExtractZipArchive(root_ / L"missing.zip", Destination()));
  WriteBytes(root_ / L"package.zip", Archive({ZipEntry::File("a.txt", "a")}));
  EXPECT_FALSE(ExtractZipArchive(root_ / L"package.zip", root_ / L"missing"));
  EXPECT_FALSE(PathExists(root_ / L"missing"));
}

TEST_F(ZipReaderTest, ExtractsALargeEntryWithFlatMemory) {
  constexpr uint64_t kSize = 64ull << 20;
  ZipBuilder(root_ / L"package.zip").Add(ZipEntry::Generated("big/large.bin", kSize)).Finish();

  PROCESS_MEMORY_COUNTERS before = {}, after = {};
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before));
  ASSERT_TRUE(ExtractZipArchive(root_ / L"package.zip", Destination()));
  ASSERT_TRUE(GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after));
  // The peak during the extraction, measured from the working set it started with.
  const double peakAboveStartMiB =
      (static_cast<double>(after.PeakWorkingSetSize) - before.WorkingSetSize) / 1048576.0;
  std::printf("working set %.1f MiB at the start, peak %.1f MiB before and %.1f MiB after\n",
              before.WorkingSetSize / 1048576.0, before.PeakWorkingSetSize / 1048576.0,
              after.PeakWorkingSetSize / 1048576.0);
  EXPECT_LT(peakAboveStartMiB, 16.0);

  // Compare piecewise, so the check itself stays small too.
  FileHandle file(CreateFileW(In(L"big\\large.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file);
  std::unique_ptr<char[]> actual(new char[1 << 20]), expected(new char[1 << 20]);
  uint64_t total = 0;
  for (DWORD read = 0; ReadFile(file.get(), actual.get(), 1 << 20, &read, nullptr) && read > 0;
       total += read) {
    FillPattern(total, expected.get(), read);
    ASSERT_EQ(0, memcmp(actual.get(), expected.get(), read)) << "at " << total;
  }
  EXPECT_EQ(kSize, total);
}
