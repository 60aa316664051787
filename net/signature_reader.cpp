#include "net/signature_reader.h"

namespace {

constexpr size_t kLongestDer = 72;  // two INTEGERs of 33 bytes in a SEQUENCE
constexpr unsigned char kSequence = 0x30;
constexpr unsigned char kInteger = 0x02;
constexpr size_t kHalf = 32;

int Base64Value(wchar_t c) {
  if (c >= L'A' && c <= L'Z') return c - L'A';
  if (c >= L'a' && c <= L'z') return c - L'a' + 26;
  if (c >= L'0' && c <= L'9') return c - L'0' + 52;
  if (c == L'+') return 62;
  if (c == L'/') return 63;
  return -1;
}

// The bytes' count, or 0 unless the text is padded to whole quanta, holds no other characters
// and leaves the bits the padding spares at zero: each byte string has one spelling.
size_t DecodeBase64(const std::wstring& text, unsigned char (&bytes)[kLongestDer]) {
  if (text.empty() || text.size() % 4 != 0 || text.size() / 4 * 3 > kLongestDer) return 0;
  const size_t padding = (text.back() == L'=') + (text[text.size() - 2] == L'=');
  size_t count = 0;
  unsigned bits = 0;
  int held = 0;
  for (size_t i = 0; i < text.size() - padding; ++i) {
    const int value = Base64Value(text[i]);
    if (value < 0) return 0;
    bits = (bits << 6) | static_cast<unsigned>(value);
    held += 6;
    if (held >= 8) {
      held -= 8;
      bytes[count++] = static_cast<unsigned char>(bits >> held);
      bits &= (1u << held) - 1;
    }
  }
  return bits == 0 ? count : 0;
}

// One INTEGER at `at`, right-aligned into `out`; `at` moves past it.
bool ReadInteger(const unsigned char* der, size_t size, size_t& at, unsigned char* out) {
  if (size - at < 2 || der[at] != kInteger) return false;
  const size_t length = der[at + 1];
  const unsigned char* value = der + at + 2;
  at += 2 + length;
  if (length == 0 || at > size || (value[0] & 0x80)) return false;  // empty, cut, or negative
  const size_t skip = value[0] == 0 ? 1 : 0;
  // Zero, a zero that keeps nothing positive, or more than 32 bytes is not a signature's half.
  if (length == skip || (skip && !(value[1] & 0x80)) || length - skip > kHalf) return false;
  for (size_t i = skip; i < length; ++i) out[kHalf - length + i] = value[i];
  return true;
}

}  // namespace

std::optional<EcdsaSignature> ReadPackageSignature(const std::wstring& text) {
  unsigned char der[kLongestDer];
  const size_t size = DecodeBase64(text, der);
  // At most 72 bytes: the SEQUENCE's length has its short form only.
  if (size < 2 || der[0] != kSequence || der[1] != size - 2) return std::nullopt;
  EcdsaSignature signature = {};
  size_t at = 2;
  if (!ReadInteger(der, size, at, signature.data()) ||
      !ReadInteger(der, size, at, signature.data() + kHalf) || at != size)
    return std::nullopt;
  return signature;
}
