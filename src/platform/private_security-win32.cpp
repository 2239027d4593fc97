#include "platform/private_security-win32.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

namespace kalvane {
namespace {

constexpr wchar_t kFileSecurity[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
constexpr wchar_t kKernelObjectSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

bool IsSystemOrAdministrators(PSID sid) {
  return IsValidSid(sid) && (IsWellKnownSid(sid, WinLocalSystemSid) ||
                             IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

// True when an entry of `dacl` lets anyone in besides SYSTEM, the Administrators group and
// `owner`. A missing DACL lets everybody in; an entry of a kind not read here counts as one.
bool LetsOthersIn(const ACL* dacl, PSID owner) {
  if (dacl == nullptr) return true;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
    PSID sid = &static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart;
    const bool owners = owner != nullptr && IsValidSid(owner) && EqualSid(sid, owner);
    if (!owners && !IsSystemOrAdministrators(sid)) return true;
  }
  return false;
}

}  // namespace

PrivateSecurity::PrivateSecurity(PrivateObject kind) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const wchar_t* sddl = kind == PrivateObject::kFile ? kFileSecurity : kKernelObjectSecurity;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor,
                                                            nullptr)) {
    return;
  }
  descriptor_.reset(descriptor);
  attributes_ = {sizeof(attributes_), descriptor, FALSE};
}

bool OwnedByAdministrators(HANDLE kernel_object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(kernel_object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                      nullptr, nullptr, &descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueLocal owned(descriptor);
  return owner != nullptr && IsValidSid(owner) &&
         (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) ||
          IsWellKnownSid(owner, WinLocalSystemSid));
}

bool AdmitsOthers(HANDLE file) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      &owner, nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS) {
    return true;
  }
  const UniqueLocal held(descriptor);
  return LetsOthersIn(dacl, owner);
}

}  // namespace kalvane
