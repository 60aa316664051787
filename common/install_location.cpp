#include "common/install_location.h"

#include <windows.h>

#include "common/ascii_case.h"
#include "common/constants.h"
#include "common/install_location_internal.h"
#include "common/shared_state.h"

std::wstring InstallFolderForDrive(const std::wstring& driveRoot) {
  std::wstring folder = driveRoot;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + kProductFolderName;
}

std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives) {
  if (index < 0 || static_cast<size_t>(index) >= drives.size()) return kDefaultDriveRoot;
  return drives[static_cast<size_t>(index)];
}

std::wstring SelectedDriveRoot() {
  const auto index = static_cast<int>(SendMessageW(g_driveCombo, CB_GETCURSEL, 0, 0));
  return DriveRootForSelection(index, g_installDrives);
}

bool IsProductExecutableName(const std::wstring& name) {
  return EqualsIgnoreCase(name, kProductExeName);
}

bool IsProductExecutablePath(const std::wstring& path) {
  return IsProductExecutableName(path.substr(path.find_last_of(L"\\/") + 1));
}
