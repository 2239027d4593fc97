#pragma once

// Security for what only the machine's administrators may see or hold: the account file, the
// single-instance lock and its exit request. The owner is the Administrators group; the DACL is
// protected (nothing inherited from the folder) and grants full access to SYSTEM and the
// Administrators group, and nothing to anybody else. Given at creation, so that there is no
// moment in which others could open the object.

#include <windows.h>

#include "base/status.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

enum class PrivateObject {
  kFile,          // full file access (FA): a file created with it has Unix mode 0750 under Wine
  kKernelObject,  // generic all (GA): mutexes, events, sections, namespaces
};

class PrivateSecurity {
 public:
  explicit PrivateSecurity(PrivateObject kind);
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  // False when the descriptor could not be built: then nothing may be created with it.
  explicit operator bool() const { return static_cast<bool>(descriptor_); }
  // For the creating call; lives as long as this object. Null when the descriptor is missing.
  SECURITY_ATTRIBUTES* attributes() { return descriptor_ ? &attributes_ : nullptr; }

 private:
  UniqueLocal descriptor_;
  SECURITY_ATTRIBUTES attributes_{};
};

// Each check below succeeds when the object passes, fails with kRejected when it does not, and
// with the failure of the query when its security cannot be read; the caller refuses it then.

// Whether the object's owner is the Administrators group or SYSTEM: only an elevated
// administrator or the system can have made such an object.
Status CheckOwnedByAdministrators(HANDLE kernel_object);

// Whether `file` (opened with READ_CONTROL) is closed to anyone but SYSTEM, the Administrators
// group and the user this elevated program runs as: see CheckDescriptorAdmitsNoOthers.
Status CheckAdmitsNoOthers(HANDLE file);

// Whether the security `descriptor` keeps out anyone but SYSTEM, the Administrators group and
// `self` (null: nobody else). It lets others in when its DACL has an entry for someone else, or
// it has no DACL, or its owner is someone else (an owner may change the DACL whatever it says).
Status CheckDescriptorAdmitsNoOthers(PSECURITY_DESCRIPTOR descriptor, PSID self);

}  // namespace kalvane
