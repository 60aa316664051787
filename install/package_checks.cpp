#include "install/package_checks.h"

#include <windows.h>

#include "common/ecdsa_p256.h"
#include "common/failure.h"
#include "net/signature_reader.h"

namespace {

constexpr char kHashFailedText[] = "安装包校验失败";
constexpr char kSignatureInvalidText[] = "安装包签名无效";

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'a' && c <= L'f') return c - L'a' + 10;
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

// The text of the first check the package fails, or null.
const char* FailedCheck(const DownloadedPackage& package, const std::wstring& publishedSha256,
                        const std::optional<EcdsaSignature>& signature,
                        const EcdsaPublicKey* key) {
  if (!publishedSha256.empty() &&
      (!package.sha256 || ParseSha256Hex(publishedSha256) != package.sha256))
    return kHashFailedText;
  if (key && (!signature || !package.sha256 || !VerifyEcdsaP256(*key, *package.sha256, *signature)))
    return kSignatureInvalidText;
  return nullptr;
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

void CheckPublishedSha256(const std::wstring& published, bool required) {
  if (published.empty() ? required : !ParseSha256Hex(published))
    Fail(kHashFailedText);
}

std::optional<EcdsaSignature> ReadPublishedSignature(const DownloaderSettings& settings,
                                                     const EcdsaPublicKey* key) {
  if (!key || settings.download_url.empty()) return std::nullopt;
  std::optional<EcdsaSignature> signature = ReadPackageSignature(settings.package_signature);
  if (!signature) Fail(kSignatureInvalidText);
  return signature;
}

void CheckDownloadedPackage(const DownloadedPackage& package, const std::wstring& publishedSha256,
                            const std::optional<EcdsaSignature>& signature,
                            const EcdsaPublicKey* key) {
  const char* failure = FailedCheck(package, publishedSha256, signature, key);
  if (!failure) return;
  DeletePackage(package.path);
  RemoveDirectoryW(package.path.substr(0, package.path.rfind(L'\\')).c_str());
  Fail(failure);
}
