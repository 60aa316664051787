// Reading the package signature that the settings answer publishes: standard base64 of the DER
// that `openssl dgst -sha256 -sign` writes.
#pragma once

#include <optional>
#include <string>

#include "common/crypto_values.h"

// The signature, or none unless the text is padded base64 in its one canonical form of exactly
// one DER SEQUENCE of two positive INTEGERs in minimal form, each at most 32 bytes after a
// leading zero, with nothing after it.
std::optional<EcdsaSignature> ReadPackageSignature(const std::wstring& text);
