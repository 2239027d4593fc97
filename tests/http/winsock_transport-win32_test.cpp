#include "http/winsock_transport-win32.h"

#include <gtest/gtest.h>

#include <string>

#include "one_shot_server-win32.h"
#include "platform/message_pump-win32.h"

namespace kalvane {
namespace {

using testing::OneShotServer;

constexpr UINT kSocketMessage = WM_APP + 1;
constexpr UINT kResolveMessage = WM_APP + 2;

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
  explicit Rig(unsigned short port, LookupMethod method = LookupMethod::kSystem,
               std::string host = "localhost")
      : transport(kSocketMessage, kResolveMessage, method), client(transport, pump, host, port) {
    transport.Attach(window.hwnd(), &client);
  }
  WinsockTransport transport;
  WindowsEventPump pump;
  HttpClient client;
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
    const Result<HttpAnswer> got = rig.client.Get("/kalvanedns/getdomain.asp?domain=a b");
    EXPECT_LT(MonotonicClock::now() - start, std::chrono::seconds(10));
    ASSERT_TRUE(got) << static_cast<int>(got.status().kind()) << " " << got.status().system_error();
    EXPECT_EQ(got->body, "hello");
    EXPECT_EQ(server.request(),
              "GET /kalvanedns/getdomain.asp?domain=a b HTTP/1.1\r\n"
              "Host: localhost\r\n\r\n");
  }
}

// More than one receive buffer of answer, and the close right behind it: everything that came
// before the close still counts. And a service on the IPv6 loopback alone is reached.
TEST(WinsockTransport, CompletesALargeAnswerClosedAtOnceAndOverIPv6) {
  WinsockSession winsock;
  const std::string body(200 * 1024, 'x');
  const std::string response =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
  for (int family : {AF_INET, AF_INET6}) {
    SCOPED_TRACE(family == AF_INET6 ? "::1 only" : "127.0.0.1");
    OneShotServer server(response, family);
    Rig rig(server.port(), LookupMethod::kSystem, family == AF_INET6 ? "::1" : "127.0.0.1");
    const Result<HttpAnswer> got = rig.client.Get("/p");
    ASSERT_TRUE(got) << static_cast<int>(got.status().kind()) << " " << got.status().system_error();
    EXPECT_EQ(got->body, body);
  }
}

TEST(WinsockTransport, AnotherStatusIsRejectedWithoutWaiting) {
  WinsockSession winsock;
  OneShotServer server("HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\n\r\n");
  Rig rig(server.port());
  const auto start = MonotonicClock::now();
  const Result<HttpAnswer> got = rig.client.Get("/p");
  ASSERT_TRUE(got);
  EXPECT_EQ(got->verdict, (AnswerVerdict{AnswerFault::kErrorStatus, 500}));
  EXPECT_LT(MonotonicClock::now() - start, std::chrono::seconds(10));
}

// Every address refuses: the attempt ends at once with the refusal, not after its minute.
TEST(WinsockTransport, ARefusedConnectionEndsAtOnceWithItsError) {
  WinsockSession winsock;
  unsigned short closed_port = 0;
  {
    OneShotServer gone("");  // a port that was just free, and is again once this closes
    closed_port = gone.port();
  }
  Rig rig(closed_port, LookupMethod::kSystem, "127.0.0.1");
  const auto start = MonotonicClock::now();
  EXPECT_EQ(rig.client.Get("/p").status(), Status::Failure(StatusKind::kFailed, WSAECONNREFUSED));
  EXPECT_LT(MonotonicClock::now() - start, std::chrono::seconds(10));
}

}  // namespace
}  // namespace kalvane
