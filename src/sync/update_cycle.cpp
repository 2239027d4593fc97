#include "sync/update_cycle.h"

#include <memory>

#include "base/scoped_flag.h"
#include "base/text.h"
#include "sync/response_body.h"

namespace kalvane {
namespace {

constexpr std::string_view kDomainQuery = "?domain=";
constexpr std::string_view kPasswordQuery = "&pwd=";

}  // namespace

Result<std::string> BuildRequestPath(const AccountBoxes& account, const AnsiCodePage& code_page) {
  std::string path(kServicePath);
  if (!account.updating_enabled) return path;

  const Result<std::string> domain = code_page.Encode(Trim(account.domain, u' '));
  if (!domain) return domain.status();
  const Result<std::string> password = account.password.Digest(code_page);
  if (!password) return password.status();
  path.append(kDomainQuery).append(*domain).append(kPasswordQuery).append(*password);
  if (BreaksRequestLine(path)) return Status::Failure(StatusKind::kRejected);
  return path;
}

std::optional<UpdateResult> UpdateCycle::UpdateDomains(const AccountSource& account) {
  if (running_ || ended_) return std::nullopt;
  ScopedFlag running(running_);
  report_ = CycleReport{};

  const Result<std::string> path = BuildRequestPath(account.Current(), code_page_);
  if (!path) {  // nothing that is not the account goes out
    report_.account_sent = false;
    report_.result = UpdateResult::kAccountNotConfirmed;
    return report_.result;
  }

  UpdateResult result = UpdateResult::kNoFailure;
  for (int attempt = 0; attempt < kMaxAttempts && !ended_; ++attempt) {
    if (Attempt(account, *path, result)) break;
    result = UpdateResult::kTransferFailed;
  }
  report_.result = result;
  return result;
}

bool UpdateCycle::Attempt(const AccountSource& account, std::string_view path,
                          UpdateResult& result) {
  const Result<HttpAnswer> answer = fetch_.Get(path);
  report_.transfer = answer.status();
  KeepProxyFailure(fetch_.LastRoute());
  if (!answer) return false;
  report_.answered = true;
  report_.refusal = answer->verdict;
  if (answer->verdict.fault != AnswerFault::kNone) return false;
  if (!ended_) HandleResponse(account, answer->text, result);
  return true;
}

void UpdateCycle::KeepProxyFailure(FetchRoute route) {
  // An attempt that went direct at once, passing over a proxy an earlier attempt found failing,
  // still tells of that proxy.
  if (!route.proxy && !route.failed_proxy && report_.route.failed_proxy) {
    route.failed_proxy = report_.route.failed_proxy;
    route.proxy_failure = report_.route.proxy_failure;
    route.proxy_wants_credentials = report_.route.proxy_wants_credentials;
  }
  report_.route = std::move(route);
}

std::vector<std::string> ProxyHostsOf(const FetchRoute& route) {
  std::vector<std::string> hosts;
  if (route.proxy) hosts.push_back(route.proxy->host);
  if (route.failed_proxy) hosts.push_back(route.failed_proxy->host);
  return hosts;
}

HostsOutcome UpdateCycle::EndAndClearSection() {
  ended_ = true;
  guard_.OnClosing();
  fetch_.Cancel();  // a waiting cycle ends without writing anything after this
  return hosts_.ClearHostsSection();
}

void UpdateCycle::HandleResponse(const AccountSource& account, std::string_view response,
                                 UpdateResult& result) {
  const std::string_view body = ResponseBody(response);
  // Read again: the user may have changed it while the cycle waited.
  report_.confirmed = !account.Current().updating_enabled || AccountConfirmed(body);
  if (!report_.confirmed) result = UpdateResult::kAccountNotConfirmed;
  report_.mappings = std::make_shared<const DomainList>(ReadDomainList(body));
  // A forged answer must not take over the way to the service itself.
  const std::vector<std::string> proxies = ProxyHostsOf(report_.route);
  hosts_.RefuseAlso(proxies);
  report_.hosts = hosts_.WriteHostsSection(report_.mappings);
  guard_.OnHostsStep(*report_.hosts);
  if (!report_.hosts->ok() && result == UpdateResult::kNoFailure)
    result = UpdateResult::kTransferFailed;
}

RestoreReport UpdateCycle::RestoreChangedSection(MonotonicClock::time_point now) {
  if (ended_ || !guard_.Guarding()) return {};  // nothing of ours to keep: no read needed
  const bool was_paused = guard_.Paused();
  const Result<std::string> content = hosts_.ReadHostsFile();
  if (!content) return {};  // unreadable now: the next change or cycle looks again
  RestoreReport::Kind kind = RestoreReport::Kind::kRestored;
  switch (guard_.OnHostsChanged(*content, now)) {
    case GuardDecision::kNothing:
      return {};
    case GuardDecision::kPaused:
      // Said once, when restoring stops; later changes while paused are left alone silently.
      if (was_paused) return {};
      return {RestoreReport::Kind::kPaused, {}};
    case GuardDecision::kMoveUp:
      kind = RestoreReport::Kind::kMovedUp;
      break;
    case GuardDecision::kRestore:
      break;
  }
  // The rows are the latest answer's either way: a failed write leaves them the ones to put back.
  return {kind, hosts_.WriteHostsSection(guard_.Mappings())};
}

}  // namespace kalvane
