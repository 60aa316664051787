#include <gtest/gtest.h>

#include <windows.h>

#include "common/code_pages.h"
#include "support/zip_builder.h"
#include "zip/package_check.h"
#include "zip/zip_names.h"
#include "zip/zip_records.h"

namespace {

std::string Tail(const std::string& archive) {
  return archive.substr(archive.size() - std::min(archive.size(), kTailSize));
}

struct ParsedArchive {
  ZipEnd end;
  std::vector<ZipEntryRecord> entries;
};

// The record parsing as the reader chains it, on an archive in memory.
std::optional<ParsedArchive> Parse(const std::string& archive) {
  auto end = ParseEndRecord(Tail(archive), archive.size());
  if (!end) return std::nullopt;
  if (end->zip64EndOffset &&
      !ApplyZip64EndRecord(archive.substr(*end->zip64EndOffset, kZip64EndRecordSize), *end))
    return std::nullopt;
  auto entries = ParseCentralDirectory(archive.substr(end->directoryOffset, end->directorySize),
                                       end->entryCount);
  if (!entries) return std::nullopt;
  return ParsedArchive{*end, *entries};
}

}  // namespace

TEST(ZipRecords, ReadsTheDirectoryOfAPlainArchive) {
  ZipBuilder builder;
  builder.Add(ZipEntry::File("a.txt", "hello"))
      .Add(ZipEntry::File("dir/b.bin", std::string(3000, 'b')).Deflated().Utf8());
  const std::string archive = builder.Finish();
  const auto parsed = Parse(archive);
  ASSERT_TRUE(parsed);
  EXPECT_FALSE(parsed->end.zip64EndOffset);
  ASSERT_EQ(2u, parsed->entries.size());

  const ZipEntryRecord& a = parsed->entries[0];
  EXPECT_EQ("a.txt", a.name);
  EXPECT_EQ(kMethodStored, a.method);
  EXPECT_EQ(5u, a.uncompressedSize);
  EXPECT_EQ(0x3610a686u, a.crc);  // CRC-32 of "hello"
  EXPECT_EQ(0u, a.localHeaderOffset);
  const ZipEntryRecord& b = parsed->entries[1];
  EXPECT_EQ(kMethodDeflate, b.method);
  EXPECT_EQ(kFlagUtf8Name, b.flags & kFlagUtf8Name);
  EXPECT_EQ(3000u, b.uncompressedSize);
  EXPECT_LT(b.compressedSize, 3000u);

  const auto dataA = LocalDataOffset(archive.substr(0, kLocalHeaderSize), a, parsed->end.directoryOffset);
  ASSERT_TRUE(dataA);
  EXPECT_EQ(builder.DataOffset(0), *dataA);
  const auto dataB = LocalDataOffset(archive.substr(b.localHeaderOffset, kLocalHeaderSize), b, parsed->end.directoryOffset);
  ASSERT_TRUE(dataB);
  EXPECT_EQ(builder.DataOffset(1), *dataB);
}

TEST(ZipRecords, TakesSizesAndOffsetsFromZip64Records) {
  ZipBuilder builder;
  builder.Add(ZipEntry::File("first", "1"))
      .Add(ZipEntry::File("second", "second entry").Zip64().WithDescriptor())
      .WithZip64End();
  const std::string archive = builder.Finish();
  const auto parsed = Parse(archive);
  ASSERT_TRUE(parsed);
  ASSERT_TRUE(parsed->end.zip64EndOffset);
  ASSERT_EQ(2u, parsed->entries.size());
  const ZipEntryRecord& second = parsed->entries[1];
  EXPECT_EQ(12u, second.uncompressedSize);
  EXPECT_EQ(12u, second.compressedSize);
  const auto data =
      LocalDataOffset(archive.substr(second.localHeaderOffset, kLocalHeaderSize), second,
                      parsed->end.directoryOffset);
  ASSERT_TRUE(data);
  EXPECT_EQ(builder.DataOffset(1), *data);
}

TEST(ZipRecords, FindsTheEndRecordBehindACommentThatMimicsOne) {
  ZipBuilder builder;
  // A fake end record inside the comment, claiming an empty archive; only the real one's
  // comment reaches exactly to the end of the file.
  builder.Add(ZipEntry::File("x", "x"))
      .WithComment(std::string("PK\x05\x06", 4) + std::string(18, '\0') + "more comment");
  const auto parsed = Parse(builder.Finish());
  ASSERT_TRUE(parsed);
  EXPECT_EQ(1u, parsed->entries.size());
}

TEST(ZipRecords, RefusesDamagedRecords) {
  ZipBuilder plainBuilder;
  const std::string plain = plainBuilder.Add(ZipEntry::File("name.txt", "data")).Finish();
  const size_t directory = plain.size() - kEndRecordSize - (46 + 8);
  ZipBuilder zip64Builder;
  const std::string zip64 =
      zip64Builder.Add(ZipEntry::File("name.txt", "data").Zip64()).WithZip64End().Finish();
  const size_t zip64Directory = zip64Builder.DataOffset(0) + 4;
  const size_t zip64End = zip64.size() - kEndRecordSize - kZip64LocatorSize - kZip64EndRecordSize;

  const struct {
    const char* what;
    std::string archive;
  } cases[] = {
      {"last byte cut off", plain.substr(0, plain.size() - 1)},
      {"only the first half", plain.substr(0, plain.size() / 2)},
      {"trailing bytes after the end record", plain + "junk"},
      {"directory signature", FlipByte(plain, directory)},
      {"entry count", FlipByte(plain, plain.size() - 12)},
      {"directory offset beyond the directory", FlipByte(plain, plain.size() - 4)},
      {"zip64 extra field id", FlipByte(zip64, zip64Directory + 46 + 8)},
      {"zip64 end record signature", FlipByte(zip64, zip64End)},
      {"zip64 end record count", FlipByte(zip64, zip64End + 32)},
  };
  for (const auto& c : cases) EXPECT_FALSE(Parse(c.archive)) << c.what;
}

TEST(ZipRecords, LocalHeaderMustMatchItsDirectoryRecord) {
  ZipBuilder builder;
  const std::string archive = builder.Add(ZipEntry::File("n", "data").Deflated()).Finish();
  const auto parsed = Parse(archive);
  ASSERT_TRUE(parsed);
  const ZipEntryRecord& entry = parsed->entries[0];
  const uint64_t limit = parsed->end.directoryOffset;
  const std::string header = archive.substr(0, kLocalHeaderSize);
  EXPECT_TRUE(LocalDataOffset(header, entry, limit));
  EXPECT_FALSE(LocalDataOffset(FlipByte(header, 0), entry, limit));        // signature
  EXPECT_FALSE(LocalDataOffset(FlipByte(header, 8), entry, limit));        // method
  EXPECT_FALSE(LocalDataOffset(FlipByte(header, 6, 0x01), entry, limit));  // encryption flag
  EXPECT_FALSE(LocalDataOffset(header.substr(0, 29), entry, limit));
  EXPECT_FALSE(LocalDataOffset(header, entry, limit - 1));  // data reaching into the directory
}

TEST(ZipRecords, SupportsOnlyPlainStoredAndDeflatedEntries) {
  const struct {
    uint16_t method, flags;
    uint64_t compressed, uncompressed;
    bool supported;
  } cases[] = {
      {0, 0, 5, 5, true},       {8, 0, 3, 9, true},       {8, 0x0808, 3, 9, true},
      {0, 0, 4, 5, false},      {8, 0x0001, 3, 9, false}, {8, 0x0040, 3, 9, false},
      {8, 0x2000, 3, 9, false}, {9, 0, 3, 9, false},      {12, 0, 3, 9, false},
      {14, 0, 3, 9, false},     {99, 0, 3, 9, false},
  };
  for (const auto& c : cases) {
    ZipEntryRecord entry;
    entry.method = c.method;
    entry.flags = c.flags;
    entry.compressedSize = c.compressed;
    entry.uncompressedSize = c.uncompressed;
    EXPECT_EQ(c.supported, IsSupportedEntry(entry)) << c.method << " " << c.flags;
  }
}

TEST(ZipNames, PlacesSafeNamesBelowTheDestination) {
  const struct {
    const wchar_t* name;
    const wchar_t* relative;
    bool folder;
  } cases[] = {
      {L"a.txt", L"a.txt", false},
      {L"bin/霁岚舟.exe", L"bin\\霁岚舟.exe", false},
      {L"bin\\data\\x", L"bin\\data\\x", false},
      {L"empty/", L"empty", true},
      {L"a/b/", L"a\\b", true},
      {L".config/x", L".config\\x", false},
      {L"console/CONx.txt", L"console\\CONx.txt", false},
      {L"COM0", L"COM0", false},
      {L"..a", L"..a", false},
  };
  for (const auto& c : cases) {
    const auto path = SafeEntryPath(c.name);
    ASSERT_TRUE(path) << c.name;
    EXPECT_EQ(c.relative, path->relative);
    EXPECT_EQ(c.folder, path->isFolder) << c.name;
  }
}

TEST(ZipNames, RefusesNamesThatCouldLandElsewhere) {
  const struct {
    const char* rule;
    std::initializer_list<const wchar_t*> names;
  } groups[] = {
      {"absolute", {L"/", L"/etc/passwd", L"\\evil.txt", L"//server/share/x"}},
      {"drive or stream", {L"C:/evil.txt", L"C:evil.txt", L"a:b.txt"}},
      {"dot components", {L"../x", L"a/../../x", L"a/..", L"..\\x", L"./x", L"a/./b", L"..."}},
      {"altered by the file system", {L"dots./x", L"trail ", L"a/b./c"}},
      {"empty", {L"", L"a//b"}},
      {"devices", {L"CON", L"aux.txt", L"sub/NUL", L"lpt1.log", L"Com9", L"con.d/x"}},
      {"characters", {L"q?.txt", L"star*", L"pipe|x", L"lt<", L"quote\"", L"tab\tx", L"u\x1f"}},
  };
  for (const auto& group : groups)
    for (const wchar_t* name : group.names)
      EXPECT_FALSE(SafeEntryPath(name)) << group.rule << ": " << name;
}

TEST(ZipNames, PathLimitsCountTheDestinationAndEveryFolder) {
  const EntryPath file{std::wstring(100, L'f'), false};
  EXPECT_TRUE(FitsPathLimits(150, file));   // 251 < 260
  EXPECT_FALSE(FitsPathLimits(160, file));  // 261
  const EntryPath folder{std::wstring(100, L'd'), true};
  EXPECT_TRUE(FitsPathLimits(140, folder));   // 241 < 248
  EXPECT_FALSE(FitsPathLimits(150, folder));  // 251
  const EntryPath nested{std::wstring(100, L'd') + L"\\x", false};
  EXPECT_FALSE(FitsPathLimits(150, nested));  // its folder is too long for CreateDirectoryW
}

TEST(ZipNames, DecodesUtf8WhenFlaggedAndTheOemCodePageOtherwise) {
  const std::wstring chinese = L"霁岚舟/说明.txt";
  const std::string utf8 = WideToUtf8(chinese);
  EXPECT_EQ(chinese, DecodeEntryName(utf8, true));
  EXPECT_EQ(chinese, DecodeEntryName(utf8, false));  // unflagged UTF-8, as Info-ZIP writes it
  EXPECT_EQ(std::vector<std::wstring>{chinese}, EntryNameSpellings(utf8, true));
  if (GetOEMCP() != CP_UTF8) {
    EXPECT_EQ(std::vector<std::wstring>({chinese, DecodeInCodePage(utf8, kOemCodePage)}),
              EntryNameSpellings(utf8, false));
  }
  EXPECT_EQ(std::vector<std::wstring>{L"a/b.txt"}, EntryNameSpellings("a/b.txt", false));
  EXPECT_EQ(L"霁岚舟.exe", DecodeInCodePage("\xf6\xab\xe1\xb0\xd6\xdb.exe", 936));

  // A name this machine's OEM code page can hold, as an archiver writing in it stores it.
  int checked = 0;
  for (const std::wstring& name : {chinese, std::wstring(L"Grüße/Ñandú é.txt")}) {
    BOOL lossy = FALSE;
    char stored[64] = {};
    const int size =
        WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, name.c_str(),
                            static_cast<int>(name.size()), stored, sizeof stored, nullptr, &lossy);
    if (size <= 0 || lossy) continue;
    EXPECT_EQ(name, DecodeEntryName(std::string(stored, size), false)) << GetOEMCP();
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no test name fits OEM code page " << GetOEMCP();
  if (GetOEMCP() == 437) {
    EXPECT_EQ(L"\u00dc\u00e9\u03a3", DecodeEntryName("\x9a\x82\xe4", false));
  }
}

TEST(ZipNames, TellsUtf8WithNonAsciiBytesFromEverythingElse) {
  for (const char* yes : {"\xe9\x9c\x81.exe", "caf\xc3\xa9", "\xf0\x9f\x98\x80",
                          "\xf4\x8f\xbf\xbf"})
    EXPECT_TRUE(IsNonAsciiUtf8(yes)) << yes;
  for (const char* no : {"", "plain.txt",
                         "\xf6\xab\xe1\xb0\xd6\xdb.exe",  // 霁岚舟.exe in code page 936
                         "\x9a\x82\xe4", "\x80", "\xc3", "\xe9\x9c", "\xc0\xaf", "\xe0\x80\xaf",
                         "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xf5\x80\x80\x80", "\xc3\xa9\xff"})
    EXPECT_FALSE(IsNonAsciiUtf8(no)) << no;
}

TEST(ZipNames, ZipFolderBeforeWindows8MisnamesOnlyMarkedNonAsciiNames) {
  const ZipEntryRecord ascii = {.name = "a.txt", .flags = kFlagUtf8Name},
                       marked = {.name = WideToUtf8(L"霁岚舟.exe"), .flags = kFlagUtf8Name},
                       unmarked = {.name = "\xf6\xab\xe1\xb0\xd6\xdb.exe"};  // code page 936
  EXPECT_TRUE(ZipFolderMisnames({ascii, marked}, {6, 1}));
  for (const WindowsVersion later : {WindowsVersion{6, 2}, {10, 0}})
    EXPECT_FALSE(ZipFolderMisnames({ascii, marked}, later));
  EXPECT_FALSE(ZipFolderMisnames({ascii, unmarked}, {6, 1}));
}

// What check-package reports on names a Chinese-Windows archiver stores, and on entries the
// installer refuses (packages from 7-Zip and Info-ZIP: CheckPackage.* in tests/CMakeLists.txt).
TEST(PackageCheck, ReadsUnmarkedNamesInCodePage936AndFlagsWhatTheInstallerRefuses) {
  const PackageCheck chinese =
      CheckPackageEntries({{.name = "bin/\xf6\xab\xe1\xb0\xd6\xdb.EXE"}});
  EXPECT_TRUE(chinese.Passes()) << "read in code page 936 whatever this machine's OEM code page";
  EXPECT_EQ(std::vector<std::wstring>{L"bin\\霁岚舟.EXE"}, chinese.shellFinds);

  const PackageCheck refused = CheckPackageEntries(
      {{.name = WideToUtf8(L"霁岚舟.exe"), .flags = kFlagUtf8Name}, {.name = "../x.dll"},
       {.name = "a.txt", .flags = kFlagEncrypted}, {.name = "b.txt", .method = 12}});
  ASSERT_EQ(3u, refused.problems.size());
  EXPECT_NE(std::wstring::npos, refused.problems[0].find(L"refuses"));
  EXPECT_NE(std::wstring::npos, refused.problems[1].find(L"encrypted"));
  EXPECT_NE(std::wstring::npos, refused.problems[2].find(L"method 12"));
  EXPECT_FALSE(refused.Passes());
}
