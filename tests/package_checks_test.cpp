// The package's published SHA-256 and signature against what was downloaded.
#include <gtest/gtest.h>

#include <utility>

#include "common/code_pages.h"
#include "common/constants.h"
#include "common/ecdsa_p256.h"
#include "common/failure.h"
#include "common/sha256.h"
#include "install/package_checks.h"
#include "net/signature_reader.h"
#include "support/signing.h"
#include "tests/signing_key.h"

TEST(PackageSha256, PublishedValueIsSixtyFourHexDigitsOrAbsentWhenAllowed) {
  const std::wstring digits = L"0123456789abcdefABCDEF" + std::wstring(42, L'9');
  EXPECT_NO_THROW(CheckPublishedSha256(digits, true));
  EXPECT_NO_THROW(CheckPublishedSha256(L"", false));
  EXPECT_THROW(CheckPublishedSha256(L"", true), Failure);
  for (const std::wstring& bad : {digits.substr(1), digits + L"0", L"g" + digits.substr(1),
                                  L" " + digits.substr(1)})
    EXPECT_THROW(CheckPublishedSha256(bad, false), Failure) << WideToUtf8(bad);
}

TEST(PackageSha256, DigestOfPiecesMatchesKnownValues) {
  std::string large(3 * 1024 * 1024 + 5, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>(i % 251);
  const std::pair<std::string, std::wstring> cases[] = {  // digests from Python's hashlib
      {"abc", L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {large, L"b01669d77761c4dfdfc8fb927821087bcf5c9ef1f917c4f1f8504e529f19edab"}};
  for (const auto& [bytes, hex] : cases) {
    Sha256 hash;  // in uneven pieces, as a download hands them over
    for (size_t at = 0; at < bytes.size(); at += 256 * 1024 + 7)
      hash.Add(bytes.data() + at, std::min<size_t>(256 * 1024 + 7, bytes.size() - at));
    EXPECT_EQ(ParseSha256Hex(hex).value(), hash.Finish().value());
  }
}

// openssl's signature verifies through our reader and CNG; one bit changed anywhere does not.
TEST(PackageSignature, OpensslsSignatureVerifiesWithTheBuiltInKeyAndNothingElseDoes) {
  const auto signature = ReadPackageSignature(kOpensslSignatureOfTovarelin);
  ASSERT_TRUE(signature);
  ASSERT_NE(nullptr, kPackagePublicKey);
  const Sha256Digest digest = Sha256Of("Tovarelin");
  EXPECT_TRUE(VerifyEcdsaP256(*kPackagePublicKey, digest, *signature));
  for (size_t bit = 0; bit < 8 * 64; bit += 37) {
    Sha256Digest otherDigest = digest;
    EcdsaSignature otherSignature = *signature;
    otherDigest[bit / 8 % 32] ^= 1 << bit % 8;
    otherSignature[bit / 8] ^= 1 << bit % 8;
    EXPECT_FALSE(VerifyEcdsaP256(*kPackagePublicKey, otherDigest, *signature)) << bit;
    EXPECT_FALSE(VerifyEcdsaP256(*kPackagePublicKey, digest, otherSignature)) << bit;
  }
}
