#include "sync/update_cycle.h"

#include <memory>

#include "base/scoped_flag.h"
#include "base/text.h"
#include "sync/service_page.h"

namespace kalvane {
namespace {

constexpr std::string_view kDomainQuery = "?domain=";
constexpr std::string_view kPasswordQuery = "&pwd=";

// An attempt that went direct at once, passing over a proxy an earlier attempt found failing,
// still tells of that proxy.
FetchRoute WithEarlierProxyFailure(FetchRoute route, const FetchRoute& earlier) {
  if (!route.proxy && !route.failed_proxy && earlier.failed_proxy) {
    route.failed_proxy = earlier.failed_proxy;
    route.proxy_failure = earlier.proxy_failure;
    route.proxy_wants_credentials = earlier.proxy_wants_credentials;
  }
  return route;
}

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

UpdateResult CycleReport::Result() const {
  if (!AccountSent()) return UpdateResult::kAccountNotConfirmed;
  const AnswerTaken* taken = Taken();
  if (taken == nullptr) return UpdateResult::kTransferFailed;
  if (!taken->confirmed) return UpdateResult::kAccountNotConfirmed;
  if (taken->after_failures || !taken->hosts.ok()) return UpdateResult::kTransferFailed;
  return UpdateResult::kNoFailure;
}

const FetchRoute* CycleReport::Route() const {
  if (const NoAnswer* none = Unanswered()) return &none->route;
  if (const AnswerRefused* refused = Refused()) return &refused->route;
  if (const AnswerTaken* taken = Taken()) return &taken->route;
  return nullptr;
}

std::optional<UpdateResult> UpdateCycle::UpdateDomains(const AccountSource& account) {
  if (running_ || ended_) return std::nullopt;
  ScopedFlag running(running_);
  const Result<std::string> path = BuildRequestPath(account.Current(), code_page_);
  // Nothing that is not the account goes out.
  report_ = path ? Attempts(account, *path) : CycleReport{AccountNotSent{}};
  return report_.Result();
}

CycleReport UpdateCycle::Attempts(const AccountSource& account, std::string_view path) {
  NoAnswer none;
  std::optional<AnswerVerdict> refusal;  // the latest answer refused
  for (int attempt = 0; attempt < kMaxAttempts && !ended_; ++attempt) {
    const Result<HttpAnswer> answer = fetch_.Get(path);
    none.route = WithEarlierProxyFailure(fetch_.LastRoute(), none.route);
    if (!answer) {
      none.transfer = answer.status();
    } else if (answer->verdict.fault != AnswerFault::kNone) {
      refusal = answer->verdict;
    } else if (ended_) {  // closing: the answer is not written
      none.transfer = Status::Failure(StatusKind::kCancelled);
      refusal.reset();
      break;
    } else {
      AnswerTaken taken = HandleResponse(account, answer->body, std::move(none.route));
      taken.after_failures = attempt > 0;
      return {std::move(taken)};
    }
  }
  if (refusal) return {AnswerRefused{*refusal, std::move(none.route)}};
  return {std::move(none)};
}

std::vector<std::string> ProxyHostsOf(const FetchRoute& route) {
  std::vector<std::string> hosts;
  if (route.proxy) hosts.push_back(route.proxy->host);
  if (route.failed_proxy) hosts.push_back(route.failed_proxy->host);
  return hosts;
}

HostsOutcome UpdateCycle::EndAndClearSection() {
  ended_ = true;
  fetch_.Cancel();  // a waiting cycle ends without writing anything after this
  return hosts_.ClearHostsSection();
}

AnswerTaken UpdateCycle::HandleResponse(const AccountSource& account, std::string_view body,
                                        FetchRoute route) {
  AnswerTaken taken;
  // Read again: the user may have changed it while the cycle waited.
  taken.confirmed = !account.Current().updating_enabled || AccountConfirmed(body);
  taken.mappings = std::make_shared<const DomainList>(ReadDomainList(body));
  // A forged answer must not take over the way to the service itself.
  hosts_.RefuseAlso(ProxyHostsOf(route));
  taken.hosts = hosts_.WriteHostsSection(taken.mappings);
  taken.route = std::move(route);
  return taken;
}

}  // namespace kalvane
