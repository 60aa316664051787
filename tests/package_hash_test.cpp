// The package's published SHA-256 and the digest of the downloaded file.
#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "common/code_pages.h"
#include "install/package_hash_internal.h"
#include "support/files.h"

TEST(PackageSha256, PublishedValueIsSixtyFourHexDigitsOrAbsentWhenAllowed) {
  const std::wstring digits = L"0123456789abcdefABCDEF" + std::wstring(42, L'9');
  EXPECT_NO_THROW(CheckPublishedSha256(digits, true));
  EXPECT_NO_THROW(CheckPublishedSha256(L"", false));
  EXPECT_THROW(CheckPublishedSha256(L"", true), std::runtime_error);
  for (const std::wstring& bad : {digits.substr(1), digits + L"0", L"g" + digits.substr(1),
                                  L" " + digits.substr(1)})
    EXPECT_THROW(CheckPublishedSha256(bad, false), std::runtime_error) << WideToUtf8(bad);
}

TEST(PackageSha256, FileDigestMatchesKnownValuesOverSeveralReads) {
  std::string large(3 * 1024 * 1024 + 5, '\0');  // several reads
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  const std::pair<std::string, std::wstring> cases[] = {  // digests from Python's hashlib
      {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {large, L"b01669d77761c4dfdfc8fb927821087bcf5c9ef1f917c4f1f8504e529f19edab"}};
  TempFolder folder;
  for (const auto& [bytes, hex] : cases) {
    WriteBytes(folder / L"package.zip", bytes);
    EXPECT_EQ(ParseSha256Hex(hex).value(), FileSha256(folder / L"package.zip").value());
  }
  EXPECT_FALSE(FileSha256(folder / L"missing.zip"));
}
