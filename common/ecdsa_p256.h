// Whether the publisher signed a digest: ECDSA over P-256, verified by Windows' own CNG
// (bcrypt.dll, delay-loaded, from System32 only).
#pragma once

#include "common/crypto_values.h"

bool VerifyEcdsaP256(const EcdsaPublicKey& key, const Sha256Digest& digest,
                     const EcdsaSignature& signature);
