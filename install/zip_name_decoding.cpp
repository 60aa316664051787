// The Windows half of install/zip_names.h: code-page decoding.
#include "install/zip_names.h"

#include <windows.h>

std::wstring DecodeEntryName(const std::string& stored, bool utf8) {
  if (stored.empty()) return {};
  const UINT codePage = utf8 ? CP_UTF8 : CP_OEMCP;
  const int size = static_cast<int>(stored.size());
  const int length = MultiByteToWideChar(codePage, 0, stored.data(), size, nullptr, 0);
  if (length <= 0) return {};
  std::wstring name(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(codePage, 0, stored.data(), size, &name[0], length);
  return name;
}
