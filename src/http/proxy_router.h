#pragma once

// Which proxies, if any, the request to the service goes through: the user's settings, a
// configuration script's or automatic detection's answer, and the memory of proxies that failed.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/event_pump.h"
#include "base/status.h"
#include "http/proxy_settings.h"

namespace kalvane {

// How long a proxy that failed is passed over, and a script's or detection's answer kept.
inline constexpr std::chrono::minutes kProxyMemory{10};
// How long a cycle waits for a configuration script's answer, and for automatic detection alone,
// which finds nothing on most networks: it may delay a cycle by this much, once in kProxyMemory.
inline constexpr std::chrono::seconds kScriptWait{5};
inline constexpr std::chrono::seconds kDetectionWait{1};

// What the system says about proxies. A script look-up runs away from the window thread; its
// answer comes back through ProxyRouter::OnScriptAnswer from inside the event pump.
class ProxySystem {
 public:
  virtual ~ProxySystem() = default;
  // The user's settings now; nothing when the system cannot tell (then the request goes direct).
  virtual std::optional<ProxySettings> UserSettings() = 0;
  // Asks the script or detection `settings` name for the proxy list of `url`, which it gets
  // within `limit` or not at all. An earlier look-up still running is abandoned: its answer is
  // never delivered.
  virtual void StartScriptLookup(const ProxySettings& settings, const std::string& url,
                                 std::chrono::milliseconds limit) = 0;
};

// The proxies for one request to the service, and the failures the client reports back.
class ProxyChoice {
 public:
  // The proxies to try in order, before going direct, for a request to `service_host`; none:
  // direct at once.
  virtual std::vector<ProxyServer> ProxiesForService(std::string_view service_host) = 0;
  // `proxy` could not be reached, or gave no usable answer: it is passed over for kProxyMemory.
  virtual void OnProxyFailed(const ProxyServer& proxy) = 0;
  // The program is closing: a wait for a script's answer ends at once, and no other starts.
  virtual void Cancel() = 0;

 protected:
  ~ProxyChoice() = default;
};

// The proxy choice as Windows makes it for the user, with its answers and failures remembered on
// the monotonic clock of `pump`, which also runs while a cycle waits for a script's answer.
class ProxyRouter final : public ProxyChoice {
 public:
  ProxyRouter(ProxySystem& system, EventPump& pump) : system_(system), pump_(pump) {}
  ProxyRouter(const ProxyRouter&) = delete;
  ProxyRouter& operator=(const ProxyRouter&) = delete;

  std::vector<ProxyServer> ProxiesForService(std::string_view service_host) override;
  void OnProxyFailed(const ProxyServer& proxy) override;
  void Cancel() override { cancelled_ = true; }

  // The script look-up's answer list ("DIRECT" when it says so), or why there is none.
  void OnScriptAnswer(const Result<std::string>& list);

  // The hosts of every proxy the last choice named, used or not: names the hosts file must not
  // redirect.
  const std::vector<std::string>& ProxyHosts() const { return proxy_hosts_; }

 private:
  // The script's list for `settings` and `service_host`, from memory or a look-up waited for
  // once; empty when none.
  std::string ScriptList(const ProxySettings& settings, std::string_view service_host);
  bool Failed(const ProxyServer& proxy, MonotonicClock::time_point now) const;

  struct Failure {
    ProxyServer proxy;
    MonotonicClock::time_point until;
  };
  // A script or detection answer, for the settings that asked for it.
  struct ScriptAnswer {
    std::string source;  // the settings' script address and detection switch
    std::string list;
    MonotonicClock::time_point until;
  };

  ProxySystem& system_;
  EventPump& pump_;
  std::vector<Failure> failures_;
  std::optional<ScriptAnswer> answer_;
  // The look-up under way, by its source; when it started. A cycle waits for it only once.
  std::optional<std::string> lookup_source_;
  MonotonicClock::time_point lookup_started_{};
  bool lookup_waited_ = false;
  bool cancelled_ = false;
  std::vector<std::string> proxy_hosts_;
};

}  // namespace kalvane
