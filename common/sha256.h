// SHA-256 by the platform (CryptoAPI, in advapi32, a Known DLL), taken piece by piece.
#pragma once

#include <cstddef>
#include <optional>

#include "common/crypto_values.h"
#include "common/handles.h"

class Sha256 {
 public:
  Sha256();
  void Add(const void* data, size_t size);
  // None when the platform failed at any step.
  std::optional<Sha256Digest> Finish();

 private:
  CryptProvider provider_;
  CryptHash hash_;
  bool failed_ = false;
};
