#include "http/name_lookup-win32.h"

#include <cstring>
#include <optional>
#include <utility>

#include "platform/last_error-win32.h"
#include "platform/system_function-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

struct NameLookup::Shared {
  Shared(HWND window, UINT message, WPARAM id) : window(window), message(message), id(id) {}

  // Keeps the outcome and tells the window, unless the window's side has dropped the look-up.
  void Finish(LookupOutcome result) {
    AcquireSRWLockExclusive(&lock);
    if (!abandoned && !done) {
      outcome.emplace(std::move(result));
      done = true;
      PostMessageW(window, message, id, 0);
    }
    ReleaseSRWLockExclusive(&lock);
  }

  // After this nothing is posted; true when the look-up had not finished yet.
  bool Abandon() {
    AcquireSRWLockExclusive(&lock);
    abandoned = true;
    const bool running = !done;
    ReleaseSRWLockExclusive(&lock);
    return running;
  }

  LookupOutcome Take() {
    AcquireSRWLockExclusive(&lock);
    LookupOutcome taken = done
                              ? std::move(*outcome)
                              : LookupOutcome(Status::Failure(StatusKind::kFailed, WSAEINPROGRESS));
    ReleaseSRWLockExclusive(&lock);
    return taken;
  }

  const HWND window;
  const UINT message;
  const WPARAM id;
  SRWLOCK lock = SRWLOCK_INIT;
  bool abandoned = false;
  bool done = false;
  std::optional<LookupOutcome> outcome;
};

namespace {

// GetAddrInfoExW's asynchronous mode and its cancelling came with Windows 8, and MinGW's headers
// declare neither: both are looked up at run time.
using CompletionRoutine = void(CALLBACK*)(DWORD error, DWORD bytes, OVERLAPPED* overlapped);
using GetAddrInfoExWFunction = int(WSAAPI*)(PCWSTR name, PCWSTR service, DWORD name_space,
                                            GUID* provider, const ADDRINFOEXW* hints,
                                            ADDRINFOEXW** result, timeval* timeout,
                                            OVERLAPPED* overlapped, CompletionRoutine done,
                                            HANDLE* cancel_handle);
using FreeAddrInfoExWFunction = void(WSAAPI*)(ADDRINFOEXW* list);

// IPv4 and IPv6 addresses for a TCP connection, of either kind of result list, in its order.
// (MinGW declares ADDRINFOEXW's ai_next with a misspelt type, hence the cast.)
template <typename Info>
LookupOutcome OutcomeOf(int error, const Info* list) {
  if (error != 0) return Status::Failure(StatusKind::kNotFound, static_cast<std::uint32_t>(error));
  std::vector<ResolvedAddress> addresses;
  for (const Info* info = list; info != nullptr;
       info = reinterpret_cast<const Info*>(info->ai_next)) {
    if ((info->ai_family != AF_INET && info->ai_family != AF_INET6) || info->ai_addr == nullptr ||
        info->ai_addrlen > sizeof(sockaddr_storage)) {
      continue;
    }
    ResolvedAddress address;
    memcpy(&address.address, info->ai_addr, info->ai_addrlen);
    address.length = static_cast<int>(info->ai_addrlen);
    addresses.push_back(address);
  }
  if (addresses.empty()) return Status::Failure(StatusKind::kNotFound, WSANO_DATA);
  return addresses;
}

template <typename Info>
Info StreamHints() {
  Info hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  return hints;
}

// A pending system look-up: the OVERLAPPED that the completion hands back, and what the
// completion needs. Owned by the completion once the look-up is under way.
struct SystemRequest : OVERLAPPED {
  SystemRequest() : OVERLAPPED{} {}
  std::shared_ptr<NameLookup::Shared> shared;
  ADDRINFOEXW* result = nullptr;
  FreeAddrInfoExWFunction free_result = nullptr;
};

// Runs on a thread of the system's.
void CALLBACK OnSystemLookupDone(DWORD error, DWORD, OVERLAPPED* overlapped) {
  std::unique_ptr<SystemRequest> request(static_cast<SystemRequest*>(overlapped));
  request->shared->Finish(OutcomeOf(static_cast<int>(error), request->result));
  if (request->result != nullptr) request->free_result(request->result);
}

struct ThreadRequest {
  std::shared_ptr<NameLookup::Shared> shared;
  std::wstring host;
};

DWORD WINAPI RunThreadLookup(void* parameter) {
  std::unique_ptr<ThreadRequest> request(static_cast<ThreadRequest*>(parameter));
  const ADDRINFOW hints = StreamHints<ADDRINFOW>();
  ADDRINFOW* result = nullptr;
  const int error = GetAddrInfoW(request->host.c_str(), nullptr, &hints, &result);
  request->shared->Finish(OutcomeOf(error, result));
  if (result != nullptr) FreeAddrInfoW(result);
  return 0;
}

}  // namespace

NameLookup::NameLookup(HWND window, UINT message, WPARAM id, const std::wstring& host,
                       LookupMethod method)
    : id_(id), shared_(std::make_shared<Shared>(window, message, id)) {
  // A system without the asynchronous mode refuses it: the name is resolved on a thread then.
  if (method == LookupMethod::kSystem && StartSystem(host).ok()) return;
  const Status started = StartThread(host);
  if (started.ok()) return;
  shared_->Finish(started.system_error() != 0 ? started
                                              : Status::Failure(StatusKind::kFailed, WSAENOBUFS));
}

NameLookup::~NameLookup() {
  // Not under the lock: a cancelled look-up may run its completion on this very thread.
  if (shared_->Abandon() && cancel_ != nullptr) cancel_(&cancel_handle_);
}

LookupOutcome NameLookup::TakeOutcome() { return shared_->Take(); }

Status NameLookup::StartSystem(const std::wstring& host) {
  const auto get_addr_info =
      LoadedSystemFunction<GetAddrInfoExWFunction>(L"ws2_32.dll", "GetAddrInfoExW");
  const auto free_result =
      LoadedSystemFunction<FreeAddrInfoExWFunction>(L"ws2_32.dll", "FreeAddrInfoExW");
  const auto cancel = LoadedSystemFunction<CancelFunction>(L"ws2_32.dll", "GetAddrInfoExCancel");
  if (get_addr_info == nullptr || free_result == nullptr || cancel == nullptr) {
    return Status::Failure(StatusKind::kNotFound);
  }

  auto request = std::make_unique<SystemRequest>();
  request->shared = shared_;
  request->free_result = free_result;
  const ADDRINFOEXW hints = StreamHints<ADDRINFOEXW>();
  HANDLE handle = nullptr;
  const int started =
      get_addr_info(host.c_str(), nullptr, NS_DNS, nullptr, &hints, &request->result, nullptr,
                    request.get(), &OnSystemLookupDone, &handle);
  if (started == WSA_IO_PENDING) {
    request.release();  // the completion's from now on
    cancel_handle_ = handle;
    cancel_ = handle != nullptr ? cancel : nullptr;
    return OkStatus();
  }
  // Anything else means no completion follows.
  if (started == NO_ERROR) {
    shared_->Finish(OutcomeOf(0, request->result));
    if (request->result != nullptr) free_result(request->result);
    return OkStatus();
  }
  return Status::Failure(StatusKind::kFailed, static_cast<std::uint32_t>(started));
}

Status NameLookup::StartThread(const std::wstring& host) {
  auto request = std::make_unique<ThreadRequest>(ThreadRequest{shared_, host});
  UniqueKernelObject thread(CreateThread(nullptr, 0, &RunThreadLookup, request.get(), 0, nullptr));
  if (!thread) return LastErrorStatus();
  request.release();  // the thread's; it ends by itself, its handle is not needed
  return OkStatus();
}

}  // namespace kalvane
