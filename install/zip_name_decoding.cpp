// The one platform call of the entry-name rules, apart so that the rest builds anywhere.
#include <windows.h>

#include "install/zip_names.h"

std::wstring DecodeInCodePage(const std::string& stored, unsigned codePage) {
  if (stored.empty()) return {};
  const int size = static_cast<int>(stored.size());
  const int length = MultiByteToWideChar(codePage, 0, stored.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring name(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, stored.data(), size, &name[0], length);
  return name;
}
