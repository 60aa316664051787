#include "common/ecdsa_p256.h"

#include "common/handles.h"

bool VerifyEcdsaP256(const EcdsaPublicKey& key, const Sha256Digest& digest,
                     const EcdsaSignature& signature) {
  BCRYPT_ALG_HANDLE algorithmHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithmHandle, BCRYPT_ECDSA_P256_ALGORITHM,
                                                  nullptr, 0)))
    return false;
  const CngAlgorithm algorithm(algorithmHandle);
  struct {
    BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
    EcdsaPublicKey point;
  } blob;
  blob.point = key;
  BCRYPT_KEY_HANDLE keyHandle = nullptr;
  if (!BCRYPT_SUCCESS(BCryptImportKeyPair(algorithm.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB,
                                          &keyHandle, reinterpret_cast<PUCHAR>(&blob),
                                          sizeof blob, 0)))
    return false;
  const CngKey publicKey(keyHandle);
  // CNG reads both; its prototype just lacks the const.
  return BCRYPT_SUCCESS(BCryptVerifySignature(
      publicKey.get(), nullptr, const_cast<PUCHAR>(digest.data()), digest.size(),
      const_cast<PUCHAR>(signature.data()), signature.size(), 0));
}
