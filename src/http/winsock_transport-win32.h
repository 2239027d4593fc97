#pragma once

#include <windows.h>
#include <winsock2.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "http/connect_race.h"
#include "http/http_client.h"
#include "http/name_lookup-win32.h"
#include "platform/unique_handle-win32.h"
#include "platform/window_timer-win32.h"

namespace kalvane {

// Winsock for the lifetime of the program.
class WinsockSession {
 public:
  // Without Winsock every connection attempt fails and is reported as a failed transfer.
  WinsockSession() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockSession() {
    if (started_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;

 private:
  WSADATA data_{};
  bool started_ = false;
};

// The TCP client over Winsock. The name is resolved off the window thread (name_lookup-win32.h)
// to all its IPv6 and IPv4 addresses, which are tried as ConnectRace (connect_race.h) says; the
// look-up's result and the socket events (WSAAsyncSelect) arrive as window messages, which the
// owner passes to HandleMessage, and the stagger timer ticks on the thread's message loop, so
// nothing here blocks the window. Events of a socket, look-up or timer that is no longer current
// are dropped.
class WinsockTransport final : public SocketTransport {
 public:
  WinsockTransport(UINT socket_message, UINT resolve_message,
                   LookupMethod lookup_method = LookupMethod::kSystem);
  ~WinsockTransport() override;
  WinsockTransport(const WinsockTransport&) = delete;
  WinsockTransport& operator=(const WinsockTransport&) = delete;

  // The window that receives the Winsock messages, and where the transport's events go.
  void Attach(HWND window, SocketEvents* events) {
    window_ = window;
    events_ = events;
  }

  void Connect(std::string_view host, std::uint16_t port, FirstAddress first) override;
  void SendData(std::string_view bytes) override;
  // Ends the connection, or every part of an attempt to make one: the look-up, the sockets
  // racing to connect and the stagger timer.
  void Close() override;

  // True when the message was one of ours (handled or dropped as stale).
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void OnResolved(WPARAM id);
  void OnSocketEvent(SOCKET socket, int event, int error);
  void OnRaceSocketEvent(std::size_t address, int event, int error);
  void OnStaggerTimer();
  // Carries out what the race decided, and what it decides after each address that fails at once.
  void Apply(RaceActions actions);
  // Starts connecting to one address; kFailed with the Winsock error code when that fails at once.
  Status StartSocket(std::size_t address);
  void ArmStaggerTimer();
  void EndRace();
  // One recv; false when nothing more can come (closed, failed, or a would-block).
  bool ReceiveOnce();
  void FlushPending();
  // Ends everything and reports `failure` (the Winsock error code of the socket call that failed,
  // of the last address to fail, or of the look-up).
  void Fail(Status failure);
  void FailWithLastError();

  HWND window_ = nullptr;
  UINT socket_message_;
  UINT resolve_message_;
  std::uint16_t port_ = 0;  // of the attempt under way
  LookupMethod lookup_method_;
  SocketEvents* events_ = nullptr;

  // The connection, once one stands.
  UniqueSocket socket_;
  std::string pending_send_;

  // The attempt to make it: the look-up, then the race over the name's addresses with a socket
  // for each address started.
  std::unique_ptr<NameLookup> lookup_;
  FirstAddress first_ = FirstAddress::kResolverOrder;  // as the client asked for this attempt
  std::optional<ResolvedAddress> last_used_;           // where the last connection went
  WPARAM lookup_count_ = 0;  // ids of look-ups, so that a stale result is known
  std::vector<ResolvedAddress> addresses_;
  std::vector<UniqueSocket> racing_;
  std::optional<ConnectRace> race_;
  Status race_error_;          // of the address that failed last; the attempt's error if all fail
  WindowTimer stagger_timer_;  // starts the race's next address
};

}  // namespace kalvane
