#include "install/extract.h"

#include <windows.h>
#include <shellapi.h>
#include <shldisp.h>

#include "common/handles.h"
#include "install/zip_reader.h"

namespace {

// No dialogs of any kind; existing files are replaced and needed folders created.
constexpr LONG kCopyOptions = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
static_assert(kCopyOptions == 0x614, "the shell's copy options");

void SetPath(Variant& variant, const std::wstring& path) {
  V_VT(variant.get()) = VT_BSTR;
  V_BSTR(variant.get()) = Bstr(path.c_str()).release();
}

}  // namespace

Extraction ExtractZipToFolder(const std::wstring& packagePath,
                              const std::wstring& destinationFolder) {
  ComPtr<IShellDispatch> shell;
  if (FAILED(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_IShellDispatch,
                              shell.put_void())))
    return Extraction::kFailed;

  // Declared in the reverse of their release order: package before destination.
  Variant destinationArgument, packageArgument;
  SetPath(packageArgument, packagePath);
  SetPath(destinationArgument, destinationFolder);
  ComPtr<Folder> destination, package;
  const HRESULT packageResult = shell->NameSpace(*packageArgument, package.put());
  const HRESULT destinationResult = shell->NameSpace(*destinationArgument, destination.put());
  if (FAILED(destinationResult) || !destination) return Extraction::kFailed;
  // Without compressed-folder support (switched off, or not there at all) the shell cannot
  // open the package; our own reader then does the shell's copy.
  if (FAILED(packageResult) || !package)
    return ExtractZipArchive(packagePath, destinationFolder) ? Extraction::kExtractedAndChecked
                                                             : Extraction::kFailed;

  ComPtr<FolderItems> items;
  if (FAILED(package->Items(items.put())) || !items) return Extraction::kFailed;
  // The items argument borrows the reference that `items` holds.
  VARIANT itemsArgument, options;
  VariantInit(&itemsArgument);
  V_VT(&itemsArgument) = VT_DISPATCH;
  V_DISPATCH(&itemsArgument) = items.get();
  VariantInit(&options);
  V_VT(&options) = VT_I4;
  V_I4(&options) = kCopyOptions;
  return SUCCEEDED(destination->CopyHere(itemsArgument, options)) ? Extraction::kHandedToShell
                                                                  : Extraction::kFailed;
}
