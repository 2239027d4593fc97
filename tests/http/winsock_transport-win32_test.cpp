#include "http/winsock_transport-win32.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/message_pump-win32.h"

namespace kalvane {
namespace {

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;

// A one-shot loopback server on its own thread: takes one request, answers, closes.
class OneShotServer {
 public:
  explicit OneShotServer(std::string answer) : answer_(std::move(answer)) {
    listener_.reset(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address));
    int length = sizeof(address);
    getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
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
    send(peer.get(), self->answer_.data(), static_cast<int>(self->answer_.size()), 0);
    shutdown(peer.get(), SD_SEND);
    return 0;
  }

  std::string answer_;
  std::string request_;
  UniqueSocket listener_;
  UniqueKernelObject thread_;
  unsigned short port_ = 0;
};

// A message-only window that hands socket messages to the transport.
class SocketWindow {
 public:
  explicit SocketWindow(WinsockTransport& transport) {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = &SocketWindow::Proc;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"KalvaneSocketTestWindow";
    RegisterClassW(&window_class);
    hwnd_ = CreateWindowExW(0, window_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                            nullptr, window_class.hInstance, nullptr);
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&transport));
  }
  ~SocketWindow() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* transport = reinterpret_cast<WinsockTransport*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (transport != nullptr && transport->HandleMessage(message, wparam, lparam)) return 0;
    return DefWindowProcW(hwnd, message, wparam, lparam);
  }
  HWND hwnd_ = nullptr;
};

struct Rig {
  explicit Rig(unsigned short port, LookupMethod method = LookupMethod::kSystem)
      : transport(kSocketMessage, kResolveMessage, port, method) {
    transport.Attach(window.hwnd(), &client);
  }
  WinsockTransport transport;
  WindowsEventPump pump;
  HttpClient client{transport, pump, "localhost"};
  SocketWindow window{transport};
};

// The name is resolved either way: GetAddrInfoExW's asynchronous mode, or the thread that stands
// in for it where that mode is missing.
TEST(WinsockTransport, CompletesAGetOverLoopbackWithTheExactRequest) {
  WinsockSession winsock;
  const std::string response = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello";
  for (LookupMethod method : {LookupMethod::kSystem, LookupMethod::kThread}) {
    SCOPED_TRACE(method == LookupMethod::kSystem ? "GetAddrInfoExW" : "GetAddrInfoW on a thread");
    OneShotServer server(response);
    Rig rig(server.port(), method);
    const auto start = MonotonicClock::now();
    EXPECT_TRUE(rig.client.HttpGet("/kalvanedns/getdomain.asp?domain=a b"));
    EXPECT_LT(MonotonicClock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(rig.client.ResponseText(), response);
    EXPECT_EQ(server.request(),
              "GET /kalvanedns/getdomain.asp?domain=a b HTTP/1.1\r\n"
              "Host: localhost\r\n\r\n");
    EXPECT_FALSE(rig.client.SocketConnected());
  }
}

TEST(WinsockTransport, AnotherStatusIsRejectedWithoutWaiting) {
  WinsockSession winsock;
  OneShotServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  Rig rig(server.port());
  const auto start = MonotonicClock::now();
  EXPECT_FALSE(rig.client.HttpGet("/p"));
  EXPECT_LT(MonotonicClock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace kalvane
