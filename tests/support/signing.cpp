#include "support/signing.h"

#include <cstring>
#include <stdexcept>

#include "common/constants.h"
#include "common/sha256.h"
#include "support/signature_text.h"
#include "tests/signing_key.h"

namespace {

CngAlgorithm OpenP256() {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(
          BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0)))
    throw std::runtime_error("no ECDSA P-256 in CNG");
  return CngAlgorithm(algorithm);
}

}  // namespace

PackageSigner::PackageSigner() : algorithm_(OpenP256()) {
  struct {
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PRIVATE_P256_MAGIC, 32};
    uint8_t pointAndScalar[96];
  } blob;
  std::memcpy(blob.pointAndScalar, kTestSigningKey, sizeof blob.pointAndScalar);
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm_.get(), nullptr, BCRYPT_ECCPRIVATE_BLOB, &key,
                                          reinterpret_cast<PUCHAR>(&blob), sizeof blob, 0)))
    throw std::runtime_error("the test signing key does not import");
  key_.reset(key);
}

PackageSigner PackageSigner::Stranger() {
  PackageSigner stranger(OpenP256());
  BCRYPT_KEY_HANDLE key = nullptr;
  if (!BCRYPT_SUCCESS(BCryptGenerateKeyPair(stranger.algorithm_.get(), &key, 256, 0)) ||
      !BCRYPT_SUCCESS(BCryptFinalizeKeyPair(key, 0)))
    throw std::runtime_error("CNG made no key");
  stranger.key_.reset(key);
  return stranger;
}

std::wstring PackageSigner::Sign(const std::string& bytes) const {
  Sha256Digest digest = Sha256Of(bytes);
  EcdsaSignature signature;
  ULONG size = 0;
  if (!BCRYPT_SUCCESS(BCryptSignHash(key_.get(), nullptr, digest.data(), digest.size(),
                                     signature.data(), signature.size(), &size, 0)))
    throw std::runtime_error("CNG did not sign");
  return Base64(DerSignature(signature));
}

Sha256Digest Sha256Of(const std::string& bytes) {
  Sha256 hash;
  hash.Add(bytes.data(), bytes.size());
  return hash.Finish().value();
}
