#include "http/winsock_transport-win32.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kalvane {

WinsockTransport::WinsockTransport(UINT socket_message, UINT resolve_message, unsigned short port)
    : socket_message_(socket_message), resolve_message_(resolve_message), port_(port) {}

WinsockTransport::~WinsockTransport() { Close(); }

void WinsockTransport::Connect(std::string_view host) {
  Close();
  last_error_ = 0;
  auto buffer = std::make_unique<char[]>(MAXGETHOSTSTRUCT);
  const std::string host_name(host);
  HANDLE lookup = WSAAsyncGetHostByName(window_, resolve_message_, host_name.c_str(), buffer.get(),
                                        MAXGETHOSTSTRUCT);
  if (lookup == nullptr) {
    Fail(WSAGetLastError());
    return;
  }
  lookup_ = lookup;
  lookup_buffers_[lookup] = std::move(buffer);
}

void WinsockTransport::SendData(std::string_view bytes) {
  pending_send_.append(bytes);
  FlushPending();
}

void WinsockTransport::Close() {
  CancelLookup();
  socket_.reset();
  pending_send_.clear();
}

bool WinsockTransport::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == resolve_message_) {
    OnResolved(reinterpret_cast<HANDLE>(wparam), WSAGETASYNCERROR(lparam));
    return true;
  }
  if (message == socket_message_) {
    OnSocketEvent(static_cast<SOCKET>(wparam), WSAGETSELECTEVENT(lparam),
                  WSAGETSELECTERROR(lparam));
    return true;
  }
  return false;
}

void WinsockTransport::OnResolved(HANDLE lookup, int error) {
  auto buffer = lookup_buffers_.find(lookup);
  if (buffer == lookup_buffers_.end()) return;
  std::unique_ptr<char[]> hostent_bytes = std::move(buffer->second);
  lookup_buffers_.erase(buffer);
  if (lookup != lookup_) return;  // a look-up of an earlier attempt
  lookup_ = nullptr;
  const auto* host = reinterpret_cast<const hostent*>(hostent_bytes.get());
  if (error != 0 || host->h_addrtype != AF_INET || host->h_addr_list[0] == nullptr) {
    Fail(error != 0 ? error : WSANO_DATA);
    return;
  }
  StartConnect(*host);
}

void WinsockTransport::StartConnect(const hostent& host) {
  socket_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket_ || WSAAsyncSelect(socket_.get(), window_, socket_message_,
                                 FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
    Fail(WSAGetLastError());
    return;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port_);
  memcpy(&address.sin_addr, host.h_addr_list[0], sizeof(address.sin_addr));
  if (connect(socket_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 &&
      WSAGetLastError() != WSAEWOULDBLOCK) {
    Fail(WSAGetLastError());
  }
}

void WinsockTransport::OnSocketEvent(SOCKET socket, int event, int error) {
  if (!socket_ || socket != socket_.get() || client_ == nullptr) return;
  switch (event) {
    case FD_CONNECT:
      if (error != 0) {
        Fail(error);
      } else {
        client_->OnConnected();
      }
      break;
    case FD_WRITE:
      FlushPending();
      break;
    case FD_READ:
      // One recv per FD_READ: Winsock posts another message while more data waits.
      ReceiveOnce();
      break;
    case FD_CLOSE:
      // Data that came before the close is still delivered.
      while (socket_ && socket_.get() == socket && ReceiveOnce()) {
      }
      if (socket_ && socket_.get() == socket) {
        socket_.reset();
        client_->OnClosed();
      }
      break;
    default:
      break;
  }
}

bool WinsockTransport::ReceiveOnce() {
  std::array<char, 64 * 1024> chunk;
  const int got = recv(socket_.get(), chunk.data(), static_cast<int>(chunk.size()), 0);
  if (got > 0) {
    client_->OnData(std::string_view(chunk.data(), static_cast<size_t>(got)));
    return true;
  }
  if (got == SOCKET_ERROR && WSAGetLastError() != WSAEWOULDBLOCK) Fail(WSAGetLastError());
  return false;
}

void WinsockTransport::FlushPending() {
  while (socket_ && !pending_send_.empty()) {
    const int sent = send(socket_.get(), pending_send_.data(),
                          static_cast<int>(std::min<size_t>(pending_send_.size(), 1 << 20)), 0);
    if (sent == SOCKET_ERROR) {
      if (WSAGetLastError() != WSAEWOULDBLOCK) Fail(WSAGetLastError());
      return;  // FD_WRITE says when to go on
    }
    pending_send_.erase(0, static_cast<size_t>(sent));
  }
}

void WinsockTransport::CancelLookup() {
  if (lookup_ == nullptr) return;
  if (WSACancelAsyncRequest(lookup_) == 0) lookup_buffers_.erase(lookup_);
  lookup_ = nullptr;
}

void WinsockTransport::Fail(int error) {
  last_error_ = error;
  Close();
  if (client_ != nullptr) client_->OnError();
}

}  // namespace kalvane
