#pragma once

#include <windows.h>
#include <winsock2.h>

#include <map>
#include <memory>
#include <string>

#include "http/http_client.h"
#include "platform/unique_handle-win32.h"

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

// The TCP client over Winsock. Name resolution and socket events arrive as window messages
// (WSAAsyncGetHostByName, WSAAsyncSelect), so nothing here blocks the window; the owner passes
// its messages to HandleMessage. Events of a socket or a look-up that is no longer current are
// dropped.
class WinsockTransport final : public SocketTransport {
 public:
  WinsockTransport(UINT socket_message, UINT resolve_message, unsigned short port);
  ~WinsockTransport() override;
  WinsockTransport(const WinsockTransport&) = delete;
  WinsockTransport& operator=(const WinsockTransport&) = delete;

  // The window that receives the events, and the client they are for.
  void Attach(HWND window, HttpClient* client) {
    window_ = window;
    client_ = client;
  }

  void Connect(std::string_view host) override;
  void SendData(std::string_view bytes) override;
  void Close() override;

  // True when the message was one of ours (handled or dropped as stale).
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  // The Winsock error code that ended the last connection attempt or connection; 0 when none did
  // (a time-out, or an answer the client refused).
  int LastError() const { return last_error_; }

 private:
  void OnResolved(HANDLE lookup, int error);
  void OnSocketEvent(SOCKET socket, int event, int error);
  void StartConnect(const hostent& host);
  // One recv; false when nothing more can come (closed, failed, or a would-block).
  bool ReceiveOnce();
  void FlushPending();
  void CancelLookup();
  void Fail(int error);

  HWND window_ = nullptr;
  UINT socket_message_;
  UINT resolve_message_;
  unsigned short port_;
  HttpClient* client_ = nullptr;

  UniqueSocket socket_;
  std::string pending_send_;
  HANDLE lookup_ = nullptr;
  int last_error_ = 0;
  // Each look-up writes into its own buffer, kept until its message arrives or it is cancelled.
  std::map<HANDLE, std::unique_ptr<char[]>> lookup_buffers_;
};

}  // namespace kalvane
