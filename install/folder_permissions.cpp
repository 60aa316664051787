#include "install/folder_permissions.h"

#include <aclapi.h>

#include <array>
#include <vector>

#include "common/failure.h"
#include "common/folder_listing.h"
#include "common/open_file.h"
#include "install/folder_permissions_internal.h"

namespace {

constexpr char kOtherOwnerText[] = "安装目录属于其他用户，请选择其他磁盘";
constexpr BYTE kInheritedBelow = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
constexpr DWORD kReadAndExecute = FILE_GENERIC_READ | FILE_GENERIC_EXECUTE;

// A SID of the NT authority, laid out as Windows lays one out.
struct NtSid {
  BYTE revision;
  BYTE count;
  SID_IDENTIFIER_AUTHORITY authority;
  DWORD subAuthorities[6];
};
const NtSid kSystem = {SID_REVISION, 1, {SECURITY_NT_AUTHORITY}, {SECURITY_LOCAL_SYSTEM_RID}};
const NtSid kAdministrators = {SID_REVISION, 2, {SECURITY_NT_AUTHORITY},
                               {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
const NtSid kUsers = {SID_REVISION, 2, {SECURITY_NT_AUTHORITY},
                      {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}};
// NT SERVICE\TrustedInstaller, the owner of what Windows itself installs.
const NtSid kTrustedInstaller = {
    SID_REVISION, 6, {SECURITY_NT_AUTHORITY},
    {SECURITY_SERVICE_ID_BASE_RID, 956008885, 3418522649, 1831038044, 1853292631, 2271478464}};

PSID Sid(const NtSid& sid) { return const_cast<NtSid*>(&sid); }

struct Entry {
  PSID sid;
  DWORD mask;
};
// The folder's allow entries: one table for the DACL that is made and the one that is checked.
std::array<Entry, 4> FolderEntries(PSID account) {
  return {{{Sid(kSystem), FILE_ALL_ACCESS},
           {Sid(kAdministrators), FILE_ALL_ACCESS},
           {account, FILE_ALL_ACCESS},
           {Sid(kUsers), kReadAndExecute}}};
}

// The account the installer runs as: its token's user.
class Account {
 public:
  Account() {
    HANDLE token = nullptr;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
    const KernelHandle owned(token);
    DWORD size = 0;
    if (!owned || !GetTokenInformation(token, TokenUser, user_, sizeof user_, &size))
      Fail(nullptr);
  }
  PSID sid() { return reinterpret_cast<TOKEN_USER*>(user_)->User.Sid; }

 private:
  alignas(TOKEN_USER) BYTE user_[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
};

// The folder's DACL, in a descriptor that asks for it protected.
class FolderDescriptor {
 public:
  explicit FolderDescriptor(PSID account) {
    InitializeAcl(dacl(), sizeof acl_, ACL_REVISION);
    for (const Entry& entry : FolderEntries(account))
      AddAccessAllowedAceEx(dacl(), ACL_REVISION, kInheritedBelow, entry.mask, entry.sid);
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, dacl(), FALSE);
    SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
  }
  FolderDescriptor(const FolderDescriptor&) = delete;
  FolderDescriptor& operator=(const FolderDescriptor&) = delete;
  PACL dacl() { return reinterpret_cast<PACL>(acl_); }

  SECURITY_DESCRIPTOR descriptor;

 private:
  alignas(DWORD) BYTE acl_[sizeof(ACL) + 4 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
};

// Throws unless the item's owner may stay; an item gone since it was listed is passed over.
void CheckOwner(const std::wstring& path, PSID account, const FolderSecuritySteps& steps) {
  const SecurityDescriptor security = steps.readSecurity(path);
  if (!security && !PathLingers(path)) return;
  if (!security || !IsAcceptedOwner(security.get(), account)) Fail(kOtherOwnerText);
}

}  // namespace

bool IsAcceptedOwner(PSECURITY_DESCRIPTOR descriptor, PSID account) {
  PSID owner = nullptr;
  BOOL defaulted;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner) return false;
  for (PSID accepted : {account, Sid(kAdministrators), Sid(kSystem), Sid(kTrustedInstaller)})
    if (EqualSid(owner, accepted)) return true;
  return false;
}

bool IsInstallFolderDacl(PSECURITY_DESCRIPTOR descriptor, PSID account) {
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision;
  BOOL present = FALSE, defaulted;
  PACL dacl = nullptr;
  const auto entries = FolderEntries(account);
  if (!GetSecurityDescriptorControl(descriptor, &control, &revision) ||
      !(control & SE_DACL_PROTECTED) ||
      !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present || !dacl ||
      dacl->AceCount != entries.size())
    return false;
  unsigned matched = 0;  // a bit for each entry of the table found
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
        ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || ace->Header.AceFlags != kInheritedBelow)
      return false;
    size_t e = 0;
    while (e < entries.size() && ((matched >> e & 1) || entries[e].mask != ace->Mask ||
                                  !EqualSid(entries[e].sid, &ace->SidStart)))
      ++e;
    if (e == entries.size()) return false;
    matched |= 1u << e;
  }
  return true;
}

SecurityDescriptor ReadItemSecurity(const std::wstring& path) {
  const FileHandle item(CreateFileW(path.c_str(), READ_CONTROL, kShareAll, nullptr,
                                    OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                    nullptr));
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (item && GetSecurityInfo(item.get(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
    descriptor = nullptr;
  return SecurityDescriptor(descriptor);
}

bool ProtectFolder(const std::wstring& folder, PACL dacl) {
  return SetNamedSecurityInfoW(const_cast<wchar_t*>(folder.c_str()), SE_FILE_OBJECT,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, dacl, nullptr) == ERROR_SUCCESS;
}

void SecureInstallFolder(const std::wstring& driveRoot, const InstallFolders& folders,
                         const FolderSecuritySteps& steps) {
  // FAT and exFAT keep no permissions: nothing to set or check there.
  DWORD flags = 0;
  if (GetVolumeInformationW(driveRoot.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
      !(flags & FILE_PERSISTENT_ACLS)) {
    CreateDirectoryW(folders.install.c_str(), nullptr);
    return;
  }
  Account account;
  FolderDescriptor wanted(account.sid());
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &wanted.descriptor, FALSE};
  // Made in one call, never first with what the drive's root hands down.
  if (CreateDirectoryW(folders.install.c_str(), &attributes) ||
      GetLastError() != ERROR_ALREADY_EXISTS)
    return;

  const SecurityDescriptor folder = steps.readSecurity(folders.install);
  if (!folder || !IsAcceptedOwner(folder.get(), account.sid())) Fail(kOtherOwnerText);
  // What the last installation placed is replaced or goes; anything else stays, and whoever
  // owns it could change it again. The list, the journal and the staged tree are checked too:
  // they steer the renames and deletions.
  std::vector<ListedItem> placed;
  for (std::wstring& file : ReadPlacedFiles(folders)) placed.push_back({std::move(file)});
  SortByName(placed);
  for (const ListedItem& item : ListFolderTree(folders.install))
    if (!FindByName(placed, item.name))
      CheckOwner(folders.install + L"\\" + item.name, account.sid(), steps);
  if (!IsInstallFolderDacl(folder.get(), account.sid()) &&
      !steps.protect(folders.install, wanted.dacl()))
    Fail(kOtherOwnerText);
}
