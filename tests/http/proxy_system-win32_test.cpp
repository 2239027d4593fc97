#include "http/proxy_system-win32.h"

#include <gtest/gtest.h>

#include <string>

#include "http/winsock_transport-win32.h"
#include "one_shot_server-win32.h"
#include "platform/message_pump-win32.h"
#include "platform/message_window-win32.h"

namespace kalvane {
namespace {

using testing::OneShotServer;

constexpr UINT kProxyMessage = WM_APP + 7;
constexpr wchar_t kConnections[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// The user's settings as Windows' proxy page keeps them (the value Wine reads), for one test.
class ConnectionSettings {
 public:
  ConnectionSettings(DWORD flags, const std::string& proxy, const std::string& bypass,
                     const std::string& script) {
    std::string blob;
    const auto dword = [&blob](DWORD value) {
      blob.append(reinterpret_cast<const char*>(&value), sizeof(value));
    };
    dword(0x46);
    dword(1);
    dword(flags);
    for (const std::string* text : {&proxy, &bypass, &script}) {
      dword(static_cast<DWORD>(text->size()));
      blob += *text;
    }
    blob.append(32, '\0');
    RegCreateKeyExW(HKEY_CURRENT_USER, kConnections, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_,
                    nullptr);
    RegSetValueExW(key_, L"DefaultConnectionSettings", 0, REG_BINARY,
                   reinterpret_cast<const BYTE*>(blob.data()), static_cast<DWORD>(blob.size()));
  }
  ~ConnectionSettings() {
    RegDeleteValueW(key_, L"DefaultConnectionSettings");
    RegCloseKey(key_);
  }

 private:
  HKEY key_ = nullptr;
};

TEST(WinHttpProxySystem, ReadsTheUsersSettings) {
  WinHttpProxySystem system(kProxyMessage);
  {
    const ConnectionSettings fixed(1 | 2, "http=127.0.0.2:3128;https=127.0.0.2:3129",
                                   "<local>;*.corp", "");
    const std::optional<ProxySettings> settings = system.UserSettings();
    ASSERT_TRUE(settings);
    EXPECT_FALSE(settings->UsesScript());
    EXPECT_EQ(settings->proxy_server, "http=127.0.0.2:3128;https=127.0.0.2:3129");
    EXPECT_EQ(settings->bypass, "<local>;*.corp");
  }
  const ConnectionSettings script(1 | 4 | 8, "", "", "http://wpad.corp/proxy.pac");
  const std::optional<ProxySettings> settings = system.UserSettings();
  ASSERT_TRUE(settings);
  EXPECT_TRUE(settings->auto_detect);
  EXPECT_EQ(settings->script_url, "http://wpad.corp/proxy.pac");
  EXPECT_EQ(settings->proxy_server, "");
}

// The script is fetched and run on the look-up's thread; its answer comes back as a message and
// is kept, so the choice names its proxy once the answer is in, however long that took.
TEST(WinHttpProxySystem, RunsAConfigurationScriptAwayFromTheWindowThread) {
  WinsockSession winsock;
  const std::string script =
      "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.2:3128; DIRECT\"; }";
  OneShotServer server("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(script.size()) +
                       "\r\n\r\n" + script);
  const ConnectionSettings settings(
      1 | 4, "", "", "http://127.0.0.1:" + std::to_string(server.port()) + "/proxy.pac");
  WindowsEventPump pump;
  WinHttpProxySystem system(kProxyMessage);
  ProxyRouter router(system, pump);
  const MessageWindow window(GetModuleHandleW(nullptr), [&](UINT message, WPARAM wparam, LPARAM) {
    return system.HandleMessage(message, wparam);
  });
  system.Attach(window.hwnd(), &router);

  std::vector<ProxyServer> proxies = router.ProxiesForService("dns.kalvane.example");
  const auto deadline = pump.Now() + std::chrono::seconds(30);
  while (proxies.empty() && pump.Now() < deadline) {
    pump.PumpUntil(pump.Now() + std::chrono::milliseconds(200));
    proxies = router.ProxiesForService("dns.kalvane.example");
  }
  if (server.request().empty()) GTEST_SKIP() << "WinHTTP did not fetch the script";
  EXPECT_EQ(server.request().rfind("GET /proxy.pac HTTP/1.1\r\n", 0), 0u) << server.request();
  ASSERT_EQ(proxies.size(), 1u);
  EXPECT_EQ(proxies[0].Text(), "127.0.0.2:3128");
}

}  // namespace
}  // namespace kalvane
