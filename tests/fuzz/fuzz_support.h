// Shared by the fuzz harnesses, which are built natively on Linux with libFuzzer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// An invariant of the code under test: a broken one stops the fuzzer with the input kept.
#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                \
    }                                                                              \
  } while (0)

std::string Bytes(const uint8_t* data, size_t size);
// The bytes read as little-endian UTF-16 code units, one per wchar_t, as Windows stores them.
std::wstring Utf16Units(const std::string& bytes);
bool HasLoneSurrogate(const std::wstring& units);
// True when text starts with prefix, folding A-Z only.
bool StartsWithAscii(const std::wstring& text, const char* prefix);
