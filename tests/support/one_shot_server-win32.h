#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstddef>
#include <string>

#include "platform/unique_handle-win32.h"

namespace kalvane::testing {

// A one-shot loopback server on its own thread, on 127.0.0.1 or on ::1 alone: takes one request,
// answers, and closes the connection at once.
class OneShotServer {
 public:
  explicit OneShotServer(std::string answer, int family = AF_INET) : answer_(std::move(answer)) {
    listener_.reset(socket(family, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_storage address{};
    int length = 0;
    if (family == AF_INET6) {
      DWORD only = 1;
      setsockopt(listener_.get(), IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<char*>(&only),
                 sizeof(only));
      auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
      v6.sin6_family = AF_INET6;
      v6.sin6_addr = in6addr_loopback;
      length = sizeof(v6);
    } else {
      auto& v4 = reinterpret_cast<sockaddr_in&>(address);
      v4.sin_family = AF_INET;
      v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      length = sizeof(v4);
    }
    bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), length);
    getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(address).sin6_port
                                     : reinterpret_cast<sockaddr_in&>(address).sin_port);
    listen(listener_.get(), 1);
    thread_.reset(CreateThread(nullptr, 0, &OneShotServer::Run, this, 0, nullptr));
  }
  ~OneShotServer() {
    listener_.reset();
    WaitForSingleObject(thread_.get(), 5000);
  }
  unsigned short port() const { return port_; }
  std::string request() const {
    WaitForSingleObject(thread_.get(), 5000);
    return request_;
  }

 private:
  static DWORD WINAPI Run(void* self_pointer) {
    auto* self = static_cast<OneShotServer*>(self_pointer);
    UniqueSocket peer(accept(self->listener_.get(), nullptr, nullptr));
    if (!peer) return 0;
    char buffer[4096];
    while (self->request_.find("\r\n\r\n") == std::string::npos) {
      const int got = recv(peer.get(), buffer, sizeof(buffer), 0);
      if (got <= 0) return 0;
      self->request_.append(buffer, static_cast<size_t>(got));
    }
    for (std::size_t sent = 0; sent < self->answer_.size();) {
      const int now = send(peer.get(), self->answer_.data() + sent,
                           static_cast<int>(self->answer_.size() - sent), 0);
      if (now <= 0) return 0;
      sent += static_cast<std::size_t>(now);
    }
    shutdown(peer.get(), SD_SEND);
    return 0;  // and the socket closes
  }

  std::string answer_;
  std::string request_;
  UniqueSocket listener_;
  UniqueKernelObject thread_;
  unsigned short port_ = 0;
};

}  // namespace kalvane::testing
