#include "common/sha256.h"

Sha256::Sha256() {
  HCRYPTPROV provider = 0;
  HCRYPTHASH hash = 0;
  failed_ = !CryptAcquireContextW(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
  provider_.reset(provider);
  failed_ = failed_ || !CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash);
  hash_.reset(hash);
}

void Sha256::Add(const void* data, size_t size) {
  failed_ = failed_ || !CryptHashData(hash_.get(), static_cast<const BYTE*>(data),
                                      static_cast<DWORD>(size), 0);
}

std::optional<Sha256Digest> Sha256::Finish() {
  Sha256Digest digest;
  DWORD size = static_cast<DWORD>(digest.size());
  if (failed_ || !CryptGetHashParam(hash_.get(), HP_HASHVAL, digest.data(), &size, 0) ||
      size != digest.size())
    return std::nullopt;
  return digest;
}
