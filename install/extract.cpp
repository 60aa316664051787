#include "install/extract.h"

#include <shellapi.h>

#include "common/windows_version.h"
#include "install/extract_internal.h"
#include "zip/zip_names.h"

namespace {

// No dialogs of any kind; existing files are replaced and needed folders created.
constexpr LONG kCopyOptions = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
static_assert(kCopyOptions == 0x614, "the shell's copy options");

void SetPath(Variant& variant, const std::wstring& path) {
  V_VT(variant.get()) = VT_BSTR;
  V_BSTR(variant.get()) = Bstr(path.c_str()).release();
}

Extraction ExtractWithOwnReader(const std::wstring& packagePath, const std::wstring& destination,
                                const WrittenBytes& written) {
  if (!ExtractZipArchive(packagePath, destination, written)) return {};
  return {Extraction::kExtractedAndChecked, nullptr};
}

}  // namespace

bool OwnReaderTakesPackage(const std::wstring& packagePath) {
  const auto entries = ReadZipDirectory(packagePath);
  return entries && ZipFolderMisnames(*entries, RunningWindowsVersion());
}

Extraction ExtractZipToFolder(const std::wstring& packagePath,
                              const std::wstring& destinationFolder, const WrittenBytes& written) {
  if (OwnReaderTakesPackage(packagePath))
    return ExtractWithOwnReader(packagePath, destinationFolder, written);
  auto copy = std::make_unique<ShellCopy>();
  if (FAILED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_IShellDispatch,
                              copy->shell.put_void())))
    return {};

  // Declared in the reverse of their release order: package before destination.
  Variant destinationArgument, packageArgument;
  SetPath(packageArgument, packagePath);
  SetPath(destinationArgument, destinationFolder);
  const HRESULT packageResult = copy->shell->NameSpace(*packageArgument, copy->package.put());
  const HRESULT destinationResult =
      copy->shell->NameSpace(*destinationArgument, copy->destination.put());
  if (FAILED(destinationResult) || !copy->destination) return {};
  // Without compressed-folder support (switched off, or not there at all) the shell cannot
  // open the package; our own reader then does the shell's copy.
  if (FAILED(packageResult) || !copy->package)
    return ExtractWithOwnReader(packagePath, destinationFolder, written);

  if (FAILED(copy->package->Items(copy->items.put())) || !copy->items) return {};
  // The items argument borrows the reference that `items` holds.
  VARIANT itemsArgument, options;
  VariantInit(&itemsArgument);
  V_VT(&itemsArgument) = VT_DISPATCH;
  V_DISPATCH(&itemsArgument) = copy->items.get();
  VariantInit(&options);
  V_VT(&options) = VT_I4;
  V_I4(&options) = kCopyOptions;
  if (FAILED(copy->destination->CopyHere(itemsArgument, options))) return {};
  return {Extraction::kHandedToShell, std::move(copy)};
}
