#include "tests/support/signature_text.h"

namespace {

std::string DerInteger(const uint8_t* value) {
  size_t skip = 0;
  while (skip < 31 && value[skip] == 0) ++skip;
  std::string content(value + skip, value + 32);
  if (static_cast<uint8_t>(content[0]) & 0x80) content.insert(content.begin(), '\0');
  return std::string{0x02, static_cast<char>(content.size())} + content;
}

}  // namespace

std::string DerSignature(const EcdsaSignature& signature) {
  const std::string integers = DerInteger(signature.data()) + DerInteger(signature.data() + 32);
  return std::string{0x30, static_cast<char>(integers.size())} + integers;
}

std::wstring Base64(const std::string& bytes) {
  constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::wstring text;
  for (size_t at = 0; at < bytes.size(); at += 3) {
    const size_t n = bytes.size() - at < 3 ? bytes.size() - at : 3;
    uint32_t bits = 0;
    for (size_t i = 0; i < 3; ++i)
      bits = bits << 8 | (i < n ? static_cast<uint8_t>(bytes[at + i]) : 0);
    for (size_t i = 0; i < 4; ++i) text += i <= n ? kDigits[(bits >> (18 - 6 * i)) & 63] : '=';
  }
  return text;
}
