#pragma once

#include <windows.h>
#include <winsock2.h>

#include <map>
#include <memory>
#include <string>

#include "app/unique_handle-win32.h"
#include "http/http_client.h"

namespace kalvane {

// Winsock for the lifetime of the program.
class WinsockSession {
 public:
  WinsockSession() { ok_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
  ~WinsockSession() {
    if (ok_) WSACleanup();
  }
  WinsockSession(const WinsockSession&) = delete;
  WinsockSession& operator=(const WinsockSession&) = delete;
  bool ok() const { return ok_; }

 private:
  WSADATA data_{};
  bool ok_ = false;
};

// The TCP client over Winsock. Name resolution and socket events arrive as window messages
// (WSAAsyncGetHostByName, WSAAsyncSelect), so nothing here blocks the window; the owner passes
// its messages to HandleMessage. Events of a socket or a look-up that is no longer current are
// dropped.
class WinsockTransport final : public SocketTransport {
 public:
  WinsockTransport(UINT socket_message, UINT resolve_message, std::string host,
                   unsigned short port);
  ~WinsockTransport() override;
  WinsockTransport(const WinsockTransport&) = delete;
  WinsockTransport& operator=(const WinsockTransport&) = delete;

  // The window that receives the events, and the client they are for.
  void Attach(HWND window, HttpClient* client) {
    window_ = window;
    client_ = client;
  }

  void Connect() override;
  void SendData(std::string_view bytes) override;
  void Close() override;

  // True when the message was one of ours (handled or dropped as stale).
  bool HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

 private:
  void OnResolved(HANDLE lookup, int error);
  void OnSocketEvent(SOCKET socket, int event, int error);
  void StartConnect(const hostent& host);
  void ReceiveAvailable();
  void FlushPending();
  void CancelLookup();
  void Fail();

  HWND window_ = nullptr;
  UINT socket_message_;
  UINT resolve_message_;
  std::string host_;
  unsigned short port_;
  HttpClient* client_ = nullptr;

  UniqueSocket socket_;
  std::string pending_send_;
  HANDLE lookup_ = nullptr;
  // Each look-up writes into its own buffer, kept until its message arrives or it is cancelled.
  std::map<HANDLE, std::unique_ptr<char[]>> lookup_buffers_;
};

}  // namespace kalvane
