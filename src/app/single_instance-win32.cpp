#include "app/single_instance-win32.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <utility>

#include "platform/file_system-win32.h"
#include "platform/private_security-win32.h"
#include "platform/system_function-win32.h"
#include "sync/hosts_paths-win32.h"

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
constexpr wchar_t kRecordSuffix[] = L".Holder";
constexpr wchar_t kExitSuffix[] = L".Exit";
// A fresh lock file may meet a holder that is just ending: its file is then pending deletion.
constexpr int kFileAttempts = 5;
constexpr std::chrono::milliseconds kFileRetryPause{100};

struct NamespaceFunctions {
  CreateBoundaryDescriptorFunction create_boundary =
      LoadedSystemFunction<CreateBoundaryDescriptorFunction>(L"kernel32.dll",
                                                             "CreateBoundaryDescriptorW");
  AddSidToBoundaryDescriptorFunction add_sid =
      LoadedSystemFunction<AddSidToBoundaryDescriptorFunction>(L"kernel32.dll",
                                                               "AddSIDToBoundaryDescriptor");
  DeleteBoundaryDescriptorFunction delete_boundary =
      LoadedSystemFunction<DeleteBoundaryDescriptorFunction>(L"kernel32.dll",
                                                             "DeleteBoundaryDescriptor");
  CreatePrivateNamespaceFunction create_namespace =
      LoadedSystemFunction<CreatePrivateNamespaceFunction>(L"kernel32.dll",
                                                           "CreatePrivateNamespaceW");
  OpenPrivateNamespaceFunction open_namespace =
      LoadedSystemFunction<OpenPrivateNamespaceFunction>(L"kernel32.dll", "OpenPrivateNamespaceW");

  bool complete() const {
    return create_boundary && add_sid && delete_boundary && create_namespace && open_namespace;
  }
};

// A boundary descriptor holding the Administrators SID: only a process whose token has that
// group enabled can make a namespace with it.
class AdministratorsBoundary {
 public:
  explicit AdministratorsBoundary(const NamespaceFunctions& functions)
      : functions_(functions), boundary_(functions.create_boundary(kNamespaceName, 0)) {
    alignas(SID) BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof(sid);
    if (boundary_ != nullptr &&
        (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) ||
         !functions_.add_sid(&boundary_, sid))) {
      functions_.delete_boundary(std::exchange(boundary_, nullptr));
    }
  }
  ~AdministratorsBoundary() {
    if (boundary_ != nullptr) functions_.delete_boundary(boundary_);
  }
  AdministratorsBoundary(const AdministratorsBoundary&) = delete;
  AdministratorsBoundary& operator=(const AdministratorsBoundary&) = delete;
  HANDLE get() const { return boundary_; }

 private:
  const NamespaceFunctions& functions_;
  HANDLE boundary_;
};

// The program's namespace: made by the first start, opened by the later ones. Empty when this
// process may do neither (it is not elevated).
UniquePrivateNamespace OpenProgramNamespace(const NamespaceFunctions& functions) {
  const AdministratorsBoundary boundary(functions);
  PrivateSecurity security(PrivateObject::kKernelObject);
  if (boundary.get() == nullptr || !security) return {};
  // Made, or there already; a namespace that goes away between the two calls is made again.
  for (int attempt = 0; attempt < 3; ++attempt) {
    UniquePrivateNamespace made(
        functions.create_namespace(security.attributes(), boundary.get(), kNamespaceName));
    if (made) return made;
    if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    UniquePrivateNamespace opened(functions.open_namespace(boundary.get(), kNamespaceName));
    if (opened) return opened;
  }
  return {};
}

// The object just created, or nothing when the name was there already: only what this holder
// made itself is its own. Reads the creating call's last error: call it on that call's result.
UniqueKernelObject OnlyIfNew(HANDLE object) {
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
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

DWORD ReadProcessIdRecord(const std::wstring& name) {
  const UniqueKernelObject section(
      OpenFileMappingW(FILE_MAP_READ | READ_CONTROL, FALSE, name.c_str()));
  if (!section || !OwnedByAdministrators(section.get())) return 0;
  const UniqueView view(MapViewOfFile(section.get(), FILE_MAP_READ, 0, 0, sizeof(DWORD)));
  return view ? *static_cast<const DWORD*>(view.get()) : 0;
}

std::filesystem::path LockFilePath() {
  std::filesystem::path path = WindowsHostsPaths().hosts;
  if (!path.empty()) path += kInstanceLockFileSuffix;
  return path;
}

bool IsElevatedProcess(DWORD process_id) {
  const UniqueKernelObject process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  HANDLE token = nullptr;
  if (!process || !OpenProcessToken(process.get(), TOKEN_QUERY, &token)) return false;
  const UniqueKernelObject owned_token(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size) &&
         elevation.TokenIsElevated != 0;
}

// The main window of an elevated copy of the program on this session's desktop. A window of the
// class made by an unelevated process does not count.
HWND FindRunningWindow(const wchar_t* window_class) {
  for (HWND window : WindowsOfClass(window_class)) {
    const DWORD process_id = WindowProcessId(window);
    if (process_id != GetCurrentProcessId() && IsElevatedProcess(process_id)) return window;
  }
  return nullptr;
}

}  // namespace

std::vector<HWND> WindowsOfClass(const wchar_t* window_class) {
  std::vector<HWND> windows;
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, window_class, nullptr)) != nullptr) {
    windows.push_back(window);
  }
  return windows;
}

DWORD WindowProcessId(HWND window) {
  DWORD process_id = 0;
  GetWindowThreadProcessId(window, &process_id);
  return process_id;
}

void PrivateNamespaceTraits::Close(Handle h) {
  // Closed, not destroyed: a later start that opened it meanwhile still finds it.
  if (const auto close = LoadedSystemFunction<ClosePrivateNamespaceFunction>(
          L"kernel32.dll", "ClosePrivateNamespace")) {
    close(h, 0);
  } else {
    CloseHandle(h);
  }
}

InstanceLock InstanceLock::ForThisMachine() {
  const NamespaceFunctions functions;
  if (!functions.complete()) return InFile(LockFilePath());
  InstanceLock lock;
  lock.namespace_ = OpenProgramNamespace(functions);
  if (!lock.namespace_) return lock;  // not elevated: the lock is not ours to have
  lock.name_ = kInstanceLockName;
  lock.TakeObjects();
  return lock;
}

InstanceLock::InstanceLock(const wchar_t* name) : name_(name) { TakeObjects(); }

InstanceLock InstanceLock::InFile(const std::filesystem::path& path) {
  InstanceLock lock;
  lock.path_ = path;
  lock.TakeFile();
  return lock;
}

void InstanceLock::TakeObjects() {
  PrivateSecurity security(PrivateObject::kKernelObject);
  if (!security) return;
  mutex_.reset(CreateMutexW(security.attributes(), FALSE, name_.c_str()));
  const DWORD error = GetLastError();
  // Not made and not openable (a DACL that shuts us out), or an owner we cannot set (not
  // elevated): either way the lock is not ours to have.
  if (!mutex_) return;
  if (error == ERROR_ALREADY_EXISTS) {
    state_ =
        OwnedByAdministrators(mutex_.get()) ? LockState::kHeldByKalvane : LockState::kHeldByOther;
    mutex_.reset();
    return;
  }
  state_ = LockState::kAcquired;
  record_ = RecordProcessId(name_ + kRecordSuffix);
  // Manual reset: a request that comes before anyone waits for it stays until it is seen.
  exit_request_ =
      OnlyIfNew(CreateEventW(security.attributes(), TRUE, FALSE, (name_ + kExitSuffix).c_str()));
}

void InstanceLock::TakeFile() {
  PrivateSecurity security(PrivateObject::kFile);
  if (path_.empty() || !security) return;
  for (int attempt = 0; attempt < kFileAttempts; ++attempt) {
    // Read sharing only, so that a later start can read the process id but none can hold the
    // file too; deleted when the process ends, however it ends.
    file_.reset(CreateFileW(path_.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                            security.attributes(), CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (file_) {
      state_ = LockState::kAcquired;
      char text[16];
      const int length = std::snprintf(text, sizeof(text), "%lu", GetCurrentProcessId());
      DWORD written = 0;
      WriteFile(file_.get(), text, static_cast<DWORD>(length), &written, nullptr);
      return;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
        error != ERROR_ACCESS_DENIED) {
      return;
    }
    // Something is there under the name. Held open, it is the running copy's lock: only
    // administrators can make a file in the hosts file's folder. Openable without sharing, it
    // is held by nobody (left by a crash, or planted): its name goes, and the lock is made anew
    // with the program's own security.
    const UniqueFile existing(CreateFileW(path_.c_str(), DELETE, 0, nullptr, OPEN_EXISTING,
                                          FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!existing) {
      if (GetLastError() == ERROR_SHARING_VIOLATION) {
        state_ = LockState::kHeldByKalvane;
        return;
      }
      std::this_thread::sleep_for(kFileRetryPause);  // pending deletion, or not a file at all
    } else if (!MarkForDeletion(existing.get())) {
      return;
    }
  }
}

DWORD InstanceLock::HolderProcessId() const {
  if (state_ != LockState::kHeldByKalvane) return 0;
  if (!name_.empty()) return ReadProcessIdRecord(name_ + kRecordSuffix);
  const UniqueFile file(CreateFileW(path_.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  char text[16] = {};
  DWORD read = 0;
  if (!file || !ReadFile(file.get(), text, sizeof(text) - 1, &read, nullptr)) return 0;
  DWORD process_id = 0;
  for (DWORD i = 0; i < read; ++i) {
    if (text[i] < '0' || text[i] > '9' || process_id > MAXDWORD / 10) return 0;
    process_id = process_id * 10 + static_cast<DWORD>(text[i] - '0');
  }
  return process_id;
}

bool InstanceLock::RequestHolderExit() const {
  if (state_ != LockState::kHeldByKalvane || name_.empty()) return false;
  const UniqueKernelObject event(
      OpenEventW(EVENT_MODIFY_STATE | READ_CONTROL, FALSE, (name_ + kExitSuffix).c_str()));
  return event && OwnedByAdministrators(event.get()) && SetEvent(event.get());
}

HandOver HandOverToRunningInstance(LockState state, const wchar_t* window_class,
                                   const wchar_t* activate_message,
                                   std::chrono::milliseconds patience) {
  if (state != LockState::kHeldByKalvane) return HandOver::kHeldByOther;
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    if (HWND running = FindRunningWindow(window_class)) {
      AllowSetForegroundWindow(WindowProcessId(running));
      PostMessageW(running, RegisterWindowMessageW(activate_message), 0, 0);
      return HandOver::kActivated;
    }
    if (std::chrono::steady_clock::now() >= deadline) return HandOver::kOtherSession;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

const wchar_t* HandOverMessage(HandOver hand_over) {
  switch (hand_over) {
    case HandOver::kActivated:
      return nullptr;
    case HandOver::kOtherSession:
      return L"Kalvane 已在本机的另一个用户会话中运行。同一台计算机上只能运行一个 Kalvane。";
    case HandOver::kHeldByOther:
      return L"Kalvane 无法启动：它的单实例锁已被其他程序占用，或无法建立。";
  }
  return nullptr;
}

}  // namespace kalvane
