#include "install/package_hash.h"

#include <windows.h>
#include <wincrypt.h>

#include <stdexcept>
#include <vector>

#include "common/handles.h"
#include "common/open_file.h"
#include "install/package_hash_internal.h"

namespace {

constexpr char kHashFailedText[] = "安装包校验失败";
constexpr DWORD kReadBytes = 1 << 20;

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::optional<Sha256Digest> ParseSha256Hex(const std::wstring& text) {
  Sha256Digest digest;
  if (text.size() != 2 * digest.size()) return std::nullopt;
  for (size_t i = 0; i < digest.size(); ++i) {
    const int high = HexValue(text[2 * i]);
    const int low = HexValue(text[2 * i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    digest[i] = static_cast<uint8_t>(high << 4 | low);
  }
  return digest;
}

// CryptoAPI lives in advapi32, a Known DLL, so it cannot be planted beside the installer.
std::optional<Sha256Digest> FileSha256(const std::wstring& path) {
  FileHandle file =
      OpenFileRetrying(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  HCRYPTPROV providerHandle = 0;
  if (!file || !CryptAcquireContextW(&providerHandle, nullptr, nullptr, PROV_RSA_AES,
                                     CRYPT_VERIFYCONTEXT))
    return std::nullopt;
  const CryptProvider provider(providerHandle);
  HCRYPTHASH hashHandle = 0;
  if (!CryptCreateHash(provider.get(), CALG_SHA_256, 0, 0, &hashHandle)) return std::nullopt;
  const CryptHash hash(hashHandle);

  std::vector<BYTE> buffer(kReadBytes);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), kReadBytes, &read, nullptr)) return std::nullopt;
    if (read == 0) break;
    if (!CryptHashData(hash.get(), buffer.data(), read, 0)) return std::nullopt;
  }
  Sha256Digest digest;
  DWORD size = static_cast<DWORD>(digest.size());
  if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest.data(), &size, 0) ||
      size != digest.size())
    return std::nullopt;
  return digest;
}

void CheckPublishedSha256(const std::wstring& published, bool required) {
  if (published.empty() ? required : !ParseSha256Hex(published))
    throw std::runtime_error(kHashFailedText);
}

void CheckPackageSha256(const std::wstring& packagePath, const std::wstring& published) {
  if (published.empty()) return;
  const std::optional<Sha256Digest> expected = ParseSha256Hex(published);
  if (expected && FileSha256(packagePath) == expected) return;
  DeleteFileW(packagePath.c_str());
  throw std::runtime_error(kHashFailedText);
}
