// Signing packages as the publisher does, by CNG: with the private half of the key built into
// the test installer, or with a stranger's key.
#pragma once

#include <string>

#include "common/crypto_values.h"
#include "common/handles.h"

class PackageSigner {
 public:
  PackageSigner();  // the publisher's: the private half of kPackagePublicKey
  static PackageSigner Stranger();  // a key of its own, made afresh

  PackageSigner(PackageSigner&&) = default;
  // What the settings answer publishes: base64 of the DER signature over the bytes' SHA-256.
  std::wstring Sign(const std::string& bytes) const;

 private:
  explicit PackageSigner(CngAlgorithm algorithm) : algorithm_(std::move(algorithm)) {}
  CngAlgorithm algorithm_;
  CngKey key_;  // after the algorithm it was made with: it goes first
};

// The bytes' SHA-256, by the installer's own hash.
Sha256Digest Sha256Of(const std::string& bytes);
