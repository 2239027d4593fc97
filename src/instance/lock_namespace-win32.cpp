#include "instance/lock_namespace-win32.h"

#include <utility>

#include "platform/last_error-win32.h"
#include "platform/private_security-win32.h"
#include "platform/system_function-win32.h"

namespace kalvane {
namespace {

// Looked up at run time: Wine 8 has none of them but the first, and a call of a missing one
// would end the process.
using CreateBoundaryDescriptorFunction = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidToBoundaryDescriptorFunction = BOOL(WINAPI*)(HANDLE*, PSID);
using DeleteBoundaryDescriptorFunction = VOID(WINAPI*)(HANDLE);
using CreatePrivateNamespaceFunction = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenPrivateNamespaceFunction = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using ClosePrivateNamespaceFunction = BOOLEAN(WINAPI*)(HANDLE, ULONG);

// The boundary's name and the namespace's alias in object names ("Kalvane\...").
constexpr wchar_t kNamespaceName[] = L"Kalvane";

template <typename Function>
Function Kernel32(const char* name) {
  return LoadedSystemFunction<Function>(L"kernel32.dll", name);
}

struct NamespaceFunctions {
  CreateBoundaryDescriptorFunction create_boundary =
      Kernel32<CreateBoundaryDescriptorFunction>("CreateBoundaryDescriptorW");
  AddSidToBoundaryDescriptorFunction add_sid =
      Kernel32<AddSidToBoundaryDescriptorFunction>("AddSIDToBoundaryDescriptor");
  // Windows 7 and later; same signature as AddSIDToBoundaryDescriptor.
  AddSidToBoundaryDescriptorFunction add_integrity_label =
      Kernel32<AddSidToBoundaryDescriptorFunction>("AddIntegrityLabelToBoundaryDescriptor");
  DeleteBoundaryDescriptorFunction delete_boundary =
      Kernel32<DeleteBoundaryDescriptorFunction>("DeleteBoundaryDescriptor");
  CreatePrivateNamespaceFunction create_namespace =
      Kernel32<CreatePrivateNamespaceFunction>("CreatePrivateNamespaceW");
  OpenPrivateNamespaceFunction open_namespace =
      Kernel32<OpenPrivateNamespaceFunction>("OpenPrivateNamespaceW");

  bool complete() const {
    return create_boundary && add_sid && delete_boundary && create_namespace && open_namespace;
  }
};

// Adds the well-known SID `which` to `boundary` with `add`.
bool AddWellKnownSid(AddSidToBoundaryDescriptorFunction add, HANDLE* boundary,
                     WELL_KNOWN_SID_TYPE which) {
  alignas(SID) BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof(sid);
  return CreateWellKnownSid(which, nullptr, sid, &size) && add(boundary, sid);
}

// The namespace's boundary: the Administrators SID, so that only a process whose token has that
// group enabled can make a namespace with it, and a high mandatory label, so that the process
// must also run at high integrity or above: an administrator's process that is not elevated runs
// at medium integrity and cannot make the namespace first. A system without
// AddIntegrityLabelToBoundaryDescriptor gets the boundary without the label; every copy there
// makes the same boundary, so they still meet in one namespace. A label that exists but cannot
// be added is a failure: a boundary without it would be another namespace.
class ProgramBoundary {
 public:
  explicit ProgramBoundary(const NamespaceFunctions& functions)
      : functions_(functions), boundary_(functions.create_boundary(kNamespaceName, 0)) {
    if (boundary_ == nullptr) {
      status_ = LastErrorStatus();
    } else if (!AddWellKnownSid(functions_.add_sid, &boundary_, WinBuiltinAdministratorsSid) ||
               (functions_.add_integrity_label != nullptr &&
                !AddWellKnownSid(functions_.add_integrity_label, &boundary_, WinHighLabelSid))) {
      status_ = LastErrorStatus();
      functions_.delete_boundary(std::exchange(boundary_, nullptr));
    }
  }
  ~ProgramBoundary() {
    if (boundary_ != nullptr) functions_.delete_boundary(boundary_);
  }
  ProgramBoundary(const ProgramBoundary&) = delete;
  ProgramBoundary& operator=(const ProgramBoundary&) = delete;
  HANDLE get() const { return boundary_; }
  Status status() const { return status_; }

 private:
  const NamespaceFunctions& functions_;
  HANDLE boundary_;
  Status status_;
};

}  // namespace

void PrivateNamespaceTraits::Close(Handle h) {
  // Closed, not destroyed: a later start that opened it meanwhile still finds it.
  if (const auto close = Kernel32<ClosePrivateNamespaceFunction>("ClosePrivateNamespace")) {
    close(h, 0);
  } else {
    CloseHandle(h);
  }
}

bool HasPrivateNamespaces() { return NamespaceFunctions().complete(); }

Result<UniquePrivateNamespace> OpenProgramNamespace() {
  const NamespaceFunctions functions;
  if (!functions.complete())
    return Status::Failure(StatusKind::kFailed, ERROR_CALL_NOT_IMPLEMENTED);
  const ProgramBoundary boundary(functions);
  if (!boundary.status().ok()) return boundary.status();
  PrivateSecurity security(PrivateObject::kKernelObject);
  if (!security) return LastErrorStatus();
  // Made, or there already; a namespace that goes away between the two calls is made again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    UniquePrivateNamespace made(
        functions.create_namespace(security.attributes(), boundary.get(), kNamespaceName));
    if (made) return made;
    if (LastError() != ERROR_ALREADY_EXISTS) return LastErrorStatus();
    UniquePrivateNamespace opened(functions.open_namespace(boundary.get(), kNamespaceName));
    if (opened) return opened;
  }
  return LastErrorStatus();
}

}  // namespace kalvane
