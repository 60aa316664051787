// The package signature as the settings answer publishes it: base64 of a DER ECDSA signature.
#include "net/signature_reader.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/signature_text.h"

// What is accepted is the canonical text of what was read: a signature has one spelling, and
// nothing but such a spelling passes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text(data, data + size);  // base64 is ASCII: a byte a character
  const std::optional<EcdsaSignature> signature = ReadPackageSignature(text);
  if (!signature) return 0;
  FUZZ_CHECK(Base64(DerSignature(*signature)) == text);
  for (const size_t half : {0, 32}) {
    bool zero = true;
    for (size_t i = 0; i < 32; ++i) zero = zero && (*signature)[half + i] == 0;
    FUZZ_CHECK(!zero);
  }
  return 0;
}
