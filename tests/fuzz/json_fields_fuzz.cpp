// A settings answer: the string scanning and decoding that read its fields.
#include <cstdio>

#include "net/json_fields.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

void CheckUnits(const std::wstring& text) {
  for (wchar_t c : text) FUZZ_CHECK(c >= 0 && c <= 0xFFFF);
  FUZZ_CHECK(!HasLoneSurrogate(text));
}

// Every unit as a \uXXXX escape.
std::string Escaped(const std::wstring& text) {
  std::string raw;
  char escape[8];
  for (wchar_t c : text) {
    std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(c));
    raw += escape;
  }
  return raw;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = Bytes(data, size);
  const size_t start = text.find('"') + 1;  // 0 when there is no quote
  std::string raw;
  const size_t closing = ScanJsonString(text, start, raw);
  FUZZ_CHECK(closing >= start && closing <= text.size());
  FUZZ_CHECK(raw == text.substr(start, closing - start));
  if (closing < text.size()) {
    // The closing quote is not escaped: an even run of backslashes stands before it.
    FUZZ_CHECK(text[closing] == '"');
    FUZZ_CHECK((raw.size() - raw.find_last_not_of('\\') - 1) % 2 == 0);
  }
  const std::wstring decoded = DecodeJsonString(raw);
  CheckUnits(decoded);
  FUZZ_CHECK(DecodeJsonString(Escaped(decoded)) == decoded);
  CheckUnits(ReadJsonStringField(text, "api_key"));
  return 0;
}
