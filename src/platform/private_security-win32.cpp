#include "platform/private_security-win32.h"

// clang-format off
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
// clang-format on

#include <vector>

#include "platform/last_error-win32.h"

namespace kalvane {
namespace {

constexpr wchar_t kFileSecurity[] = L"O:BAD:P(A;;FA;;;SY)(A;;FA;;;BA)";
constexpr wchar_t kKernelObjectSecurity[] = L"O:BAD:P(A;;GA;;;SY)(A;;GA;;;BA)";

// SYSTEM, the Administrators group, or `self`: the user this elevated program runs as, an
// administrator (Wine reports every file as owned by that user, whatever it was created with).
bool IsTrusted(PSID sid, PSID self) {
  if (sid == nullptr || !IsValidSid(sid)) return false;
  return IsWellKnownSid(sid, WinLocalSystemSid) ||
         IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
         (self != nullptr && IsValidSid(self) && EqualSid(sid, self));
}

// True when an entry of `dacl` lets anyone in who is not trusted (IsTrusted), the owner's own
// entry included. A missing DACL lets everybody in; an entry of a kind not read here counts as
// one.
bool LetsOthersIn(const ACL* dacl, PSID self) {
  if (dacl == nullptr) return true;
  for (DWORD index = 0; index < dacl->AceCount; ++index) {
    void* entry = nullptr;
    if (!GetAce(const_cast<ACL*>(dacl), index, &entry)) return true;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return true;
    if (!IsTrusted(&static_cast<ACCESS_ALLOWED_ACE*>(entry)->SidStart, self)) return true;
  }
  return false;
}

// The user of the running process's token, in `buffer`; null when it cannot be read.
PSID ProcessUser(std::vector<unsigned char>& buffer) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return nullptr;
  const UniqueKernelObject token(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size < sizeof(TOKEN_USER)) return nullptr;
  buffer.resize(size);
  if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return nullptr;
  return reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
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

Status CheckOwnedByAdministrators(HANDLE kernel_object) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read = GetSecurityInfo(kernel_object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION,
                                     &owner, nullptr, nullptr, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) return Status::Failure(StatusKind::kFailed, read);
  const UniqueLocal owned(descriptor);
  return IsTrusted(owner, nullptr) ? OkStatus() : Status::Failure(StatusKind::kRejected);
}

Status CheckAdmitsNoOthers(HANDLE file) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD read =
      GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                      nullptr, nullptr, nullptr, nullptr, &descriptor);
  if (read != ERROR_SUCCESS) return Status::Failure(StatusKind::kFailed, read);
  const UniqueLocal held(descriptor);
  std::vector<unsigned char> user;
  return CheckDescriptorAdmitsNoOthers(descriptor, ProcessUser(user));
}

Status CheckDescriptorAdmitsNoOthers(PSECURITY_DESCRIPTOR descriptor, PSID self) {
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  BOOL has_dacl = FALSE;
  PACL dacl = nullptr;
  BOOL dacl_defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor, &owner, &owner_defaulted) ||
      !GetSecurityDescriptorDacl(descriptor, &has_dacl, &dacl, &dacl_defaulted)) {
    return LastErrorStatus();
  }
  // An owner may change the DACL whatever it says: one who is not trusted is let in.
  const bool admits_others = !IsTrusted(owner, self) || !has_dacl || LetsOthersIn(dacl, self);
  return admits_others ? Status::Failure(StatusKind::kRejected) : OkStatus();
}

}  // namespace kalvane
