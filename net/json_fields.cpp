#include "net/json_fields.h"

std::wstring ReadJsonStringField(const std::string&, const std::string&) { return {}; }
std::wstring DecodeJsonString(const std::string&) { return {}; }
