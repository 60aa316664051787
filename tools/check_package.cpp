// check-package: a publisher's look at a package before it goes on the settings server.
//   TovarelinCheckPackage.exe PACKAGE.zip [KEY SIGNATURE]
// KEY: the publisher's public point, 128 hex digits (tools/package_key.sh prints it); SIGNATURE:
// the package_signature to publish. The signature is checked as the installer checks it.
// Exit code 0: the product executable will be found and nothing is flagged; 1: something is
// flagged; 2: the package cannot be read as a zip archive, or the arguments are wrong.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "common/code_pages.h"
#include "common/constants.h"
#include "common/ecdsa_p256.h"
#include "common/install_location.h"
#include "common/open_file.h"
#include "common/sha256.h"
#include "install/package_checks.h"
#include "net/signature_reader.h"
#include "zip/package_check.h"
#include "zip/zip_reader.h"

namespace {

// A console shows UTF-16 as it is; a pipe or file gets UTF-8.
void Print(const std::wstring& line) {
  const std::wstring text = line + L"\n";
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(out, &mode)) {
    WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    return;
  }
  const std::string bytes = WideToUtf8(text);
  WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void PrintFinds(const wchar_t* who, const std::vector<std::wstring>& finds) {
  if (finds.empty()) {
    Print(std::wstring(who) + L": " + kProductExeName + L" will NOT be found");
    return;
  }
  for (const std::wstring& path : finds)
    Print(std::wstring(who) + L": " + kProductExeName + L" found at " + path);
}

std::optional<Sha256Digest> FileSha256(const std::wstring& path) {
  constexpr DWORD kReadBytes = 1 << 20;
  const FileHandle file =
      OpenFileRetrying(path, GENERIC_READ, kShareAll, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return std::nullopt;
  Sha256 hash;
  std::vector<BYTE> buffer(kReadBytes);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer.data(), kReadBytes, &read, nullptr)) return std::nullopt;
    if (read == 0) return hash.Finish();
    hash.Add(buffer.data(), read);
  }
}

// The point as the package_key script prints it: X then Y in hex.
std::optional<EcdsaPublicKey> ParseKey(const std::wstring& hex) {
  const auto x = ParseSha256Hex(hex.substr(0, 64));
  const auto y = ParseSha256Hex(hex.size() == 128 ? hex.substr(64) : L"");
  if (!x || !y) return std::nullopt;
  EcdsaPublicKey key;
  std::copy(x->begin(), x->end(), key.begin());
  std::copy(y->begin(), y->end(), key.begin() + 32);
  return key;
}

std::wstring Hex(const Sha256Digest& digest) {
  constexpr wchar_t kDigits[] = L"0123456789abcdef";
  std::wstring text;
  for (uint8_t byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0F];
  }
  return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::optional<EcdsaPublicKey> key = argc == 4 ? ParseKey(argv[2]) : std::nullopt;
  if (argc != 2 && !key) {
    Print(L"usage: TovarelinCheckPackage PACKAGE.zip [KEY SIGNATURE]");
    return 2;
  }
  const std::wstring package = argv[1];
  const auto entries = ReadZipDirectory(package);
  const auto digest = FileSha256(package);
  if (!entries || !digest) {
    Print(L"FAILED: " + package + L" cannot be read as a zip archive");
    return 2;
  }
  PackageCheck check = CheckPackageEntries(*entries);
  const std::wstring folder = InstallFolderForDrive(kDefaultDriveRoot);
  if (check.problems.empty() && !ListZipEntries(package, folder.size()))
    check.problems.push_back(L"two entries whose names differ only in case, or a path too long "
                             L"below " + folder + L": the installer refuses the package");
  bool verified = false;
  if (key) {
    const auto signature = ReadPackageSignature(argv[3]);
    verified = signature && VerifyEcdsaP256(*key, *digest, *signature);
    if (!verified)
      check.problems.push_back(signature ? L"the signature does not verify with the key"
                                         : L"the signature is not base64 of one DER signature");
  }
  Print(L"package: " + package + L" (" + std::to_wstring(entries->size()) + L" entries)");
  PrintFinds(L"Windows shell, unmarked names in code page 936", check.shellFinds);
  PrintFinds(L"installer's own reader", check.readerFinds);
  if (check.windows7Reader)
    Print(L"Windows 7: extracted by the installer's own reader (its zip folder reads names "
          L"marked UTF-8 in code page 936)");
  if (verified)
    Print(L"signature: verified with the publisher's key, as the installer verifies it");
  for (const std::wstring& problem : check.problems) Print(L"FLAGGED: " + problem);
  Print(L"sha256: " + Hex(*digest));
  Print(L"for the settings answer: \"package_sha256\": \"" + Hex(*digest) + L"\"");
  if (key)
    Print(L"for the settings answer: \"package_signature\": \"" + std::wstring(argv[3]) + L"\"");
  Print(check.Passes() ? L"PASSED" : L"FAILED: fix the package before publishing it");
  return check.Passes() ? 0 : 1;
}
