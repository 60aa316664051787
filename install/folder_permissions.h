// Who may change the installation folder: as in Program Files, SYSTEM and Administrators, and
// the person who installs in the administrators' place; Users may read and run it. Other
// accounts of the PC must not be able to swap the checked package or the installed program.
#pragma once

#include <windows.h>

#include <string>

#include "common/handles.h"
#include "install/tree_switch.h"

using SecurityDescriptor = LocalMemory<PSECURITY_DESCRIPTOR>;

// The item's own owner and DACL (a link's, not its target's); null when they cannot be read.
SecurityDescriptor ReadItemSecurity(const std::wstring& path);
// Gives the folder the DACL, protected from what its parent hands down, and lets everything
// below inherit it again; false when that is refused.
bool ProtectFolder(const std::wstring& folder, PACL dacl);

struct FolderSecuritySteps {
  SecurityDescriptor (*readSecurity)(const std::wstring& path);
  bool (*protect)(const std::wstring& folder, PACL dacl);
};

// Makes the installation folder with the protected DACL in one call; where it exists, first
// checks the owner of the folder and of everything below it that a reinstall keeps (all but
// the files the last installation placed), then replaces a DACL other than ours. Throws
// "安装目录属于其他用户，请选择其他磁盘", with nothing changed, for an owner other than the
// account, Administrators, SYSTEM or TrustedInstaller, or a replacement refused. On a volume
// that keeps no permissions (FAT) the folder is made plainly and nothing is checked.
void SecureInstallFolder(const std::wstring& driveRoot, const InstallFolders& folders,
                         const FolderSecuritySteps& steps);
