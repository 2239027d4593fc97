#include "http/proxy_router.h"

#include <algorithm>

namespace kalvane {
namespace {

std::string SourceOf(const ProxySettings& settings) {
  return (settings.auto_detect ? "detect " : "script ") + settings.script_url;
}

}  // namespace

std::vector<ProxyServer> ProxyRouter::ProxiesForService(std::string_view service_host) {
  const std::optional<ProxySettings> settings = system_.UserSettings();
  proxy_hosts_.clear();
  if (!settings) return {};
  const std::string list =
      settings->UsesScript() ? ScriptList(*settings, service_host) : std::string();
  std::vector<ProxyServer> proxies = ChooseProxies(*settings, service_host, list);
  for (const ProxyServer& proxy : proxies) proxy_hosts_.push_back(proxy.host);
  const auto now = pump_.Now();
  std::erase_if(proxies, [&](const ProxyServer& proxy) { return Failed(proxy, now); });
  return proxies;
}

void ProxyRouter::OnProxyFailed(const ProxyServer& proxy) {
  const auto now = pump_.Now();
  std::erase_if(failures_, [&](const Failure& failure) {
    return failure.until <= now || failure.proxy == proxy;
  });
  failures_.push_back({proxy, now + kProxyMemory});
}

bool ProxyRouter::Failed(const ProxyServer& proxy, MonotonicClock::time_point now) const {
  return std::any_of(failures_.begin(), failures_.end(), [&](const Failure& failure) {
    return failure.proxy == proxy && now < failure.until;
  });
}

void ProxyRouter::OnScriptAnswer(const Result<std::string>& list) {
  if (!lookup_source_) return;  // none asked for: stale
  // A failed look-up counts as "nothing found" for as long as an answer would be kept: the
  // fixed proxy, or direct, serves meanwhile.
  answer_ = ScriptAnswer{*lookup_source_, list ? *list : std::string(), pump_.Now() + kProxyMemory};
  lookup_source_.reset();
}

std::string ProxyRouter::ScriptList(const ProxySettings& settings, std::string_view service_host) {
  const std::string source = SourceOf(settings);
  const auto now = pump_.Now();
  if (answer_ && answer_->source == source && now < answer_->until) return answer_->list;
  // A look-up that never came back (a script that loops) is given up after kProxyMemory.
  if (!lookup_source_ || *lookup_source_ != source || now - lookup_started_ >= kProxyMemory) {
    lookup_source_ = source;
    lookup_started_ = now;
    lookup_waited_ = false;
    // The look-up itself may take the script's time even when the cycle waits less: a late
    // answer is kept for the next cycles.
    system_.StartScriptLookup(settings, "http://" + std::string(service_host) + "/", kScriptWait);
  }
  if (!lookup_waited_ && !cancelled_) {
    lookup_waited_ = true;
    const auto deadline =
        lookup_started_ + (settings.script_url.empty() ? kDetectionWait : kScriptWait);
    while (lookup_source_ && !cancelled_ && pump_.Now() < deadline) {
      if (pump_.PumpUntil(deadline) == EventPump::Outcome::kQuit) break;
    }
  }
  if (answer_ && answer_->source == source && pump_.Now() < answer_->until) return answer_->list;
  return {};
}

}  // namespace kalvane
