// The rules over a security descriptor that decide whether an existing installation folder is
// the person's.
#pragma once

#include <windows.h>

// Whether the descriptor names an owner who may keep items in the folder: the account,
// Administrators, SYSTEM or TrustedInstaller.
bool IsAcceptedOwner(PSECURITY_DESCRIPTOR descriptor, PSID account);

// Whether the descriptor holds the installation folder's DACL: protected, and exactly its four
// allow entries, inherited by files and folders below, in any order.
bool IsInstallFolderDacl(PSECURITY_DESCRIPTOR descriptor, PSID account);
