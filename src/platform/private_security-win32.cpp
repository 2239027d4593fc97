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

}  // namespace kalvane
