#include "instance/single_instance-win32.h"

#include <utility>

#include "instance/lock_file-win32.h"
#include "platform/last_error-win32.h"
#include "platform/private_security-win32.h"

namespace kalvane {
namespace {

constexpr wchar_t kRecordSuffix[] = L".Holder";
constexpr wchar_t kExitSuffix[] = L".Exit";

// The object just created, or nothing when the name was there already: only what this holder
// made itself is its own. Reads the creating call's last error: call it on that call's result.
UniqueKernelObject OnlyIfNew(HANDLE object) {
  const bool existed = LastError() == ERROR_ALREADY_EXISTS;
  UniqueKernelObject owned(object);
  if (existed) owned.reset();
  return owned;
}

struct ViewTraits {
  using Handle = void*;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { UnmapViewOfFile(h); }
};
using UniqueView = UniqueHandle<ViewTraits>;

// A section of the holder's own holding its process id.
UniqueKernelObject RecordProcessId(const std::wstring& name) {
  PrivateSecurity security(PrivateObject::kKernelObject);
  UniqueKernelObject section = OnlyIfNew(CreateFileMappingW(
      INVALID_HANDLE_VALUE, security.attributes(), PAGE_READWRITE, 0, sizeof(DWORD), name.c_str()));
  if (!section) return {};
  const UniqueView view(MapViewOfFile(section.get(), FILE_MAP_WRITE, 0, 0, sizeof(DWORD)));
  if (!view) return {};
  *static_cast<DWORD*>(view.get()) = GetCurrentProcessId();
  return section;
}

Result<DWORD> ReadProcessIdRecord(const std::wstring& name) {
  const UniqueKernelObject section(
      OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, name.c_str()));
  if (!section) return LastErrorStatus();
  if (const Status owner = CheckOwnedByAdministrators(section.get()); !owner.ok()) return owner;
  const UniqueView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, sizeof(DWORD)));
  if (!view) return LastErrorStatus();
  const DWORD process_id = *static_cast<const DWORD*>(view.get());
  if (process_id == 0) return Status::Failure(StatusKind::kNotFound);
  return process_id;
}

}  // namespace

Result<InstanceLock> InstanceLock::ForThisMachine() {
  if (!HasPrivateNamespaces()) return InFile(LockFilePath());
  Result<UniquePrivateNamespace> opened = OpenProgramNamespace();
  if (!opened) return opened.status();  // not elevated: the lock is not ours to have
  InstanceLock lock;
  lock.namespace_ = std::move(opened).value();
  lock.name_ = kInstanceLockName;
  if (const Status taken = lock.TakeObjects(); !taken.ok()) return taken;
  return lock;
}

Result<InstanceLock> InstanceLock::Named(const wchar_t* name) {
  InstanceLock lock;
  lock.name_ = name;
  if (const Status taken = lock.TakeObjects(); !taken.ok()) return taken;
  return lock;
}

Result<InstanceLock> InstanceLock::InFile(const FilePath& path) {
  Result<LockFile> taken = TakeLockFile(path);
  if (!taken) return taken.status();
  InstanceLock lock;
  lock.path_ = path;
  lock.state_ = taken->state;
  lock.file_ = std::move(std::move(taken).value().file);
  return lock;
}

Status InstanceLock::TakeObjects() {
  PrivateSecurity security(PrivateObject::kKernelObject);
  if (!security) return LastErrorStatus();
  mutex_.reset(CreateMutexW(security.attributes(), FALSE, name_.c_str()));
  const DWORD error = LastError();
  // Not made and not openable (a DACL that shuts us out), or an owner we cannot set (not
  // elevated): either way the lock is not ours to have.
  if (!mutex_) return Status::Failure(StatusKind::kFailed, error);
  if (error == ERROR_ALREADY_EXISTS) {
    state_ = CheckOwnedByAdministrators(mutex_.get()).ok() ? LockState::kHeldByKalvane
                                                           : LockState::kHeldByOther;
    mutex_.reset();
    return OkStatus();
  }
  state_ = LockState::kAcquired;
  record_ = RecordProcessId(name_ + kRecordSuffix);
  // Manual reset: a request that comes before anyone waits for it stays until it is seen.
  exit_request_ =
      OnlyIfNew(CreateEventW(security.attributes(), TRUE, FALSE, (name_ + kExitSuffix).c_str()));
  return OkStatus();
}

Result<DWORD> InstanceLock::HolderProcessId() const {
  if (state_ != LockState::kHeldByKalvane) return Status::Failure(StatusKind::kNotFound);
  if (!name_.empty()) return ReadProcessIdRecord(name_ + kRecordSuffix);
  return LockFileHolder(path_);
}

Status InstanceLock::RequestHolderExit() const {
  if (state_ != LockState::kHeldByKalvane || name_.empty()) {
    return Status::Failure(StatusKind::kNotFound);
  }
  const UniqueKernelObject event(
      OpenEventW(EVENT_MODIFY_STATE | READ_CONTROL, FALSE, (name_ + kExitSuffix).c_str()));
  if (!event) return LastErrorStatus();
  if (const Status owner = CheckOwnedByAdministrators(event.get()); !owner.ok()) return owner;
  if (!SetEvent(event.get())) return LastErrorStatus();
  return OkStatus();
}

}  // namespace kalvane
