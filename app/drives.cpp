#include "app/drives.h"

#include <windows.h>

#include "app/drives_internal.h"
#include "common/install_location.h"
#include "common/shared_state.h"

std::vector<std::wstring> InstallDrivesFromMask(
    DWORD driveMask, const std::function<UINT(const std::wstring&)>& driveType) {
  std::vector<std::wstring> drives;
  for (int i = 2; i < 26; ++i) {  // A: and B: are never offered
    if ((driveMask & (1u << i)) == 0) continue;
    std::wstring root{static_cast<wchar_t>(L'A' + i), L':', L'\\'};
    const UINT type = driveType(root);
    if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED) drives.push_back(std::move(root));
  }
  if (drives.empty()) drives.push_back(kDefaultDriveRoot);
  return drives;
}

std::vector<std::wstring> EnumerateInstallDrives() {
  return InstallDrivesFromMask(GetLogicalDrives(), [](const std::wstring& root) {
    return GetDriveTypeW(root.c_str());
  });
}

void UpdateInstallLocationLabel() {
  SetWindowTextW(g_locationLabel, InstallFolderForDrive(SelectedDriveRoot()).c_str());
}
