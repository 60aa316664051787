// Reading string fields out of JSON text without a JSON parser.
#pragma once

#include <cstddef>
#include <string>

// The decoded value of the first "key" in the text when that value is a string, else empty.
std::wstring ReadJsonStringField(const std::string& text, const std::string& key);
// Resolves the escapes of the bytes between a JSON string's quotes.
std::wstring DecodeJsonString(const std::string& raw);
// Copies the raw bytes of a string that starts at start (just after its opening quote),
// escape backslashes included, into raw; returns the index of the closing quote, or the
// text's size when the string is not closed.
size_t ScanJsonString(const std::string& text, size_t start, std::string& raw);
