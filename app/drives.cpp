#include "app/drives.h"

#include "app/shared_state.h"
#include "constants.h"

std::vector<std::wstring> InstallDrivesFromMask(
    DWORD driveMask, const std::function<UINT(const std::wstring&)>& driveType) {
  std::vector<std::wstring> drives;
  for (int i = 2; i < 26; ++i) {  // A: and B: are never offered
    if ((driveMask & (1u << i)) == 0) continue;
    const std::wstring root{static_cast<wchar_t>(L'A' + i), L':', L'\\'};
    const UINT type = driveType(root);
    if (type == DRIVE_REMOVABLE || type == DRIVE_FIXED) drives.push_back(root);
  }
  if (drives.empty()) drives.push_back(L"C:\\");
  return drives;
}

std::vector<std::wstring> EnumerateInstallDrives() {
  return InstallDrivesFromMask(GetLogicalDrives(), [](const std::wstring& root) {
    return GetDriveTypeW(root.c_str());
  });
}

std::wstring InstallFolderForDrive(const std::wstring& driveRoot) {
  std::wstring folder = driveRoot;
  if (!folder.empty() && folder.back() != L'\\') folder += L'\\';
  return folder + kProductFolderName;
}

std::wstring DriveRootForSelection(int index, const std::vector<std::wstring>& drives) {
  if (index < 0 || static_cast<size_t>(index) >= drives.size()) return L"C:\\";
  return drives[static_cast<size_t>(index)];
}

std::wstring SelectedDriveRoot() {
  const auto index = static_cast<int>(SendMessageW(g_driveCombo, CB_GETCURSEL, 0, 0));
  return DriveRootForSelection(index, g_installDrives);
}

void UpdateInstallLocationLabel() {
  SetWindowTextW(g_locationLabel, InstallFolderForDrive(SelectedDriveRoot()).c_str());
}
