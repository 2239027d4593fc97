#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "http/proxy_router.h"
#include "http/proxy_settings.h"
#include "scripted_pump.h"

namespace kalvane {
namespace {

using namespace std::chrono_literals;
using testing::ScriptedPump;

constexpr std::string_view kService = "dns.kalvane.example";

// "host:port host:port" of a route, "" for direct.
std::string Names(const std::vector<ProxyServer>& proxies) {
  std::string text;
  for (const ProxyServer& proxy : proxies) text += (text.empty() ? "" : " ") + proxy.Text();
  return text;
}

TEST(ProxySettings, RouteForEveryFormOfTheSettings) {
  struct Case {
    const char* what;
    ProxySettings settings;
    std::string script_list;
    std::string route;
  };
  const Case cases[] = {
      {"none", {}, "", ""},
      {"fixed", {false, "", "proxy.corp:8080", ""}, "", "proxy.corp:8080"},
      {"fixed without port", {false, "", "proxy.corp", ""}, "", "proxy.corp:80"},
      {"with scheme and slash", {false, "", "http://proxy.corp:3128/", ""}, "", "proxy.corp:3128"},
      {"per scheme", {false, "", "https=s:443; http=h:8080;ftp=f:21", ""}, "", "h:8080"},
      {"https only", {false, "", "https=s:443", ""}, "", ""},
      {"spaces", {false, "", "  http = h:81 ", ""}, "", "h:81"},
      {"IPv6", {false, "", "[::1]:8080", ""}, "", "[::1]:8080"},
      {"port out of range",
       {false, "", "a:0;b:65536;c:99999999999999999999;d:65535", ""},
       "",
       "d:65535"},
      {"garbage hosts",
       {false, "", "x@y:2;:3;[::1:4;\x01:5;a b:1;good:6", ""},
       "",
       "a:80 b:1 good:6"},
      {"at most three", {false, "", "a:1;b:2;c:3;d:4", ""}, "", "a:1 b:2 c:3"},
      {"bypassed by name", {false, "", "p:1", "dns.kalvane.example"}, "", ""},
      {"bypassed by wildcard", {false, "", "p:1", "*.corp; *.KALVANE.example"}, "", ""},
      {"question mark", {false, "", "p:1", "dns.kalvan?.example"}, "", ""},
      {"with port", {false, "", "p:1", "http://dns.kalvane.example:80"}, "", ""},
      {"other port", {false, "", "p:1", "dns.kalvane.example:8080"}, "", "p:1"},
      {"other wildcard", {false, "", "p:1", "*.corp;10.*;kalvane.example"}, "", "p:1"},
      {"<local> is for names without a dot", {false, "", "p:1", "<local>"}, "", "p:1"},
      {"script list",
       {false, "http://wpad/p.pac", "", ""},
       "PROXY a:8080; PROXY b:81",
       "a:8080 b:81"},
      {"script list in WinHTTP form", {true, "", "", ""}, "a:8080;b:81", "a:8080 b:81"},
      {"script says DIRECT first", {true, "", "p:1", ""}, "DIRECT; PROXY a:1", ""},
      {"DIRECT ends the list", {true, "", "", ""}, "PROXY a:1; DIRECT; PROXY b:2", "a:1"},
      {"SOCKS skipped", {true, "", "", ""}, "SOCKS s:1080; PROXY a:1", "a:1"},
      {"script ignores bypass", {true, "", "", "*"}, "PROXY a:1", "a:1"},
      {"detection found nothing: fixed", {true, "", "p:1", ""}, "", "p:1"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Names(ChooseProxies(c.settings, kService, c.script_list)), c.route) << c.what;
  }
  EXPECT_TRUE(Bypassed("intranet", "<local>"));
}

// The system side: settings as the test sets them; a script look-up answers when the test says.
struct FakeProxySystem final : ProxySystem {
  std::optional<ProxySettings> UserSettings() override { return settings; }
  void StartScriptLookup(const ProxySettings&, const std::string& url,
                         std::chrono::milliseconds limit) override {
    lookups.push_back(url);
    limits.push_back(limit);
  }
  std::optional<ProxySettings> settings = ProxySettings{};
  std::vector<std::string> lookups;
  std::vector<std::chrono::milliseconds> limits;
};

struct RouterRig {
  ScriptedPump pump;
  FakeProxySystem system;
  ProxyRouter router{system, pump};
};

TEST(ProxyRouter, FailedProxyIsPassedOverForTenMinutesThenTriedAgain) {
  RouterRig rig;
  rig.system.settings = ProxySettings{false, "", "a:1;b:2", ""};
  rig.router.OnProxyFailed({"a", 1});
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "b:2");
  EXPECT_EQ(rig.router.ProxyHosts(), (std::vector<std::string>{"a", "b"})) << "used or not";
  rig.pump.PumpUntil(rig.pump.Now() + kProxyMemory - 1s);
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "b:2");
  rig.pump.PumpUntil(rig.pump.Now() + 1s);
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "a:1 b:2");
  rig.system.settings.reset();
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "") << "no WinHTTP: direct";
}

TEST(ProxyRouter, DetectionThatFindsNothingDelaysOneCycleByAtMostASecond) {
  RouterRig rig;
  rig.system.settings = ProxySettings{true, "", "p:1", ""};
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "p:1");
  EXPECT_EQ(rig.pump.Elapsed(), kDetectionWait);
  ASSERT_EQ(rig.system.lookups, (std::vector<std::string>{"http://dns.kalvane.example/"}));
  // Still running: the next cycle does not wait again nor start another look-up.
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "p:1");
  EXPECT_EQ(rig.pump.Elapsed(), kDetectionWait);
  // It answers late: kept for ten minutes.
  rig.router.OnScriptAnswer(std::string("PROXY s:3"));
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "s:3");
  rig.pump.PumpUntil(rig.pump.Now() + kProxyMemory);
  rig.pump.At(200ms, [&] { rig.router.OnScriptAnswer(Status::Failure(StatusKind::kTimedOut)); });
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "p:1")
      << "a failed look-up: the fixed proxy";
  EXPECT_EQ(rig.system.lookups.size(), 2u);
  EXPECT_EQ(rig.pump.Elapsed(), kDetectionWait + kProxyMemory + 200ms) << "no waiting on";
}

TEST(ProxyRouter, ScriptGetsItsOwnLongerLimitAndAChangedSettingAsksAgain) {
  RouterRig rig;
  rig.system.settings = ProxySettings{false, "http://wpad/proxy.pac", "", ""};
  rig.pump.At(3s, [&] { rig.router.OnScriptAnswer(std::string("DIRECT")); });
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "");
  EXPECT_EQ(rig.pump.Elapsed(), 3s);
  EXPECT_EQ(rig.system.limits, (std::vector<std::chrono::milliseconds>{kScriptWait}));
  rig.system.settings->script_url = "http://wpad/other.pac";
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "");
  EXPECT_EQ(rig.system.lookups.size(), 2u);
  EXPECT_EQ(rig.pump.Elapsed(), 3s + kScriptWait) << "a script that never answers: its limit";

  // Closing ends the wait at once.
  rig.system.settings->script_url = "http://wpad/third.pac";
  rig.pump.At(100ms, [&] { rig.router.Cancel(); });
  EXPECT_EQ(Names(rig.router.ProxiesForService(kService)), "");
  EXPECT_EQ(rig.pump.Elapsed(), 3s + kScriptWait + 100ms);
}

}  // namespace
}  // namespace kalvane
