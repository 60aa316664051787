#include "zip/package_check.h"

#include <optional>

#include "common/code_pages.h"
#include "common/install_location.h"
#include "zip/zip_names.h"

namespace {

constexpr WindowsVersion kWindows7 = {6, 1};

std::wstring Quoted(const std::wstring& name) { return L"\"" + name + L"\""; }

bool IsProductExecutable(const EntryPath& path) {
  return !path.isFolder && IsProductExecutablePath(path.relative);
}

std::wstring WhyUnsupported(const ZipEntryRecord& entry) {
  if (entry.flags & (kFlagEncrypted | kFlagStrongEncryption)) return L"encrypted";
  if (entry.method != kMethodStored && entry.method != kMethodDeflate)
    return L"compression method " + std::to_wstring(entry.method) +
           L" (only stored and deflated entries are unpacked)";
  return L"its records do not describe an entry the installer can unpack";
}

}  // namespace

PackageCheck CheckPackageEntries(const std::vector<ZipEntryRecord>& entries) {
  PackageCheck check;
  check.windows7Reader = ZipFolderMisnames(entries, kWindows7);
  for (const ZipEntryRecord& entry : entries) {
    const bool marked = (entry.flags & kFlagUtf8Name) != 0;
    const bool utf8 = marked || IsNonAsciiUtf8(entry.name);
    const std::wstring shellName =
        DecodeInCodePage(entry.name, marked ? kUtf8CodePage : kChineseOemCodePage);
    const std::wstring readerName =
        utf8 ? DecodeInCodePage(entry.name, kUtf8CodePage) : shellName;

    if (!marked && utf8) {
      check.problems.push_back(
          Quoted(readerName) + L": stored as UTF-8 without the UTF-8 mark (flag bit 11); "
          L"the shell of Chinese Windows reads it as " + Quoted(shellName));
    }
    if (!IsSupportedEntry(entry))
      check.problems.push_back(Quoted(readerName) + L": " + WhyUnsupported(entry));
    const std::optional<EntryPath> shellPath = SafeEntryPath(shellName);
    const std::optional<EntryPath> readerPath = SafeEntryPath(readerName);
    if (!shellPath || !readerPath) {
      check.problems.push_back(Quoted(shellPath ? readerName : shellName) +
                               L": the installer refuses this name, as it is not a safe path "
                               L"below the installation folder");
    }
    if (shellPath && IsProductExecutable(*shellPath))
      check.shellFinds.push_back(shellPath->relative);
    if (readerPath && IsProductExecutable(*readerPath))
      check.readerFinds.push_back(readerPath->relative);
  }
  return check;
}
