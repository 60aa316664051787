// Reading string fields out of JSON text without a JSON parser.
#pragma once

#include <string>

// The decoded string value of the first "key" in the text, or empty.
std::wstring ReadJsonStringField(const std::string& text, const std::string& key);
// Resolves the escapes of the bytes between a JSON string's quotes.
std::wstring DecodeJsonString(const std::string& raw);
