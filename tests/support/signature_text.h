// The text a publisher's tools make of a signature, as the settings answer carries it. Free of
// <windows.h>: the fuzz harnesses build it natively.
#pragma once

#include <string>

#include "common/crypto_values.h"

// The DER that openssl writes: a SEQUENCE of two INTEGERs, each in its minimal positive form.
std::string DerSignature(const EcdsaSignature& signature);
// Standard base64, padded.
std::wstring Base64(const std::string& bytes);
