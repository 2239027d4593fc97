#pragma once

#include <windows.h>
#include <winsock2.h>
#include <ws2tcpip.h>

#include <memory>
#include <string>
#include <vector>

#include "base/status.h"

namespace kalvane {

// One address of a name as connect() takes it; the port is left to the caller.
struct ResolvedAddress {
  sockaddr_storage address{};
  int length = 0;
};

// The name's IPv6 and IPv4 addresses in the order the system gave them, at least one; or
// kNotFound with the Winsock error code of the failed look-up (WSANO_DATA for a name without an
// address of either family), kFailed when no look-up could be started.
using LookupOutcome = Result<std::vector<ResolvedAddress>>;

enum class LookupMethod {
  // GetAddrInfoExW in its asynchronous mode, cancelled when the look-up is dropped (Windows 8
  // and later; Wine). Where that is missing, kThread.
  kSystem,
  // GetAddrInfoW on a thread of the look-up's own.
  kThread,
};

// One resolution of a name, both families, away from the window thread. When it is done,
// `message` is posted to `window` with `id` in wParam; the window thread then takes the outcome.
// Once the object is destroyed nothing is posted any more: a system look-up is cancelled, and a
// thread still inside its blocking call ends by itself without touching the window or the
// transport.
class NameLookup {
 public:
  NameLookup(HWND window, UINT message, WPARAM id, const std::wstring& host,
             LookupMethod method = LookupMethod::kSystem);
  ~NameLookup();
  NameLookup(const NameLookup&) = delete;
  NameLookup& operator=(const NameLookup&) = delete;

  WPARAM id() const { return id_; }
  // The outcome once the message has come (kFailed with WSAEINPROGRESS before).
  LookupOutcome TakeOutcome();

  // State shared with the system's completion or the thread.
  struct Shared;

 private:
  using CancelFunction = int(WSAAPI*)(HANDLE*);

  // kNotFound where the system lacks the asynchronous look-up, kFailed with its code when it
  // refuses to start one.
  Status StartSystem(const std::wstring& host);
  Status StartThread(const std::wstring& host);

  WPARAM id_;
  std::shared_ptr<Shared> shared_;
  HANDLE cancel_handle_ = nullptr;  // of a pending system look-up
  CancelFunction cancel_ = nullptr;
};

}  // namespace kalvane
