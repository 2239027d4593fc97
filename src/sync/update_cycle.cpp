#include "sync/update_cycle.h"

#include "base/digest_form.h"
#include "base/scoped_flag.h"
#include "http/http_client.h"
#include "sync/response_body.h"

namespace kalvane {
namespace {

constexpr std::string_view kDomainQuery = "?domain=";
constexpr std::string_view kPasswordQuery = "&pwd=";

std::u16string_view TrimSpaces(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> BuildRequestPath(const AccountView& account,
                                            const RequestEncoding& encoding) {
  std::string path(kServicePath);
  if (!account.updating_enabled) return path;

  const std::optional<std::string> domain = encoding.encode_text(TrimSpaces(account.domain));
  const bool digest_already = account.password_is_digest && IsDigestText(account.password);
  const std::optional<std::string> password = digest_already
                                                  ? encoding.encode_text(account.password)
                                                  : encoding.digest_password(account.password);
  if (!domain || !password || !IsDigestText(std::u16string(password->begin(), password->end())))
    return std::nullopt;
  path.append(kDomainQuery).append(*domain).append(kPasswordQuery).append(*password);
  if (BreaksRequestLine(path)) return std::nullopt;
  return path;
}

std::optional<UpdateResult> UpdateCycle::UpdateDomains(const AccountView& account,
                                                       const RequestEncoding& encoding) {
  if (running_) return std::nullopt;
  ScopedFlag running(running_);
  report_ = CycleReport{};

  const std::optional<std::string> path = BuildRequestPath(account, encoding);
  if (!path) {  // nothing that is not the account goes out
    report_.account_sent = false;
    report_.result = UpdateResult::kAccountNotConfirmed;
    return report_.result;
  }

  UpdateResult result = UpdateResult::kNoFailure;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    if (host_.Closing()) break;
    if (host_.HttpGet(*path)) {
      if (!host_.Closing()) HandleResponse(result);
      break;
    }
    result = UpdateResult::kTransferFailed;
  }
  report_.result = result;
  return result;
}

void UpdateCycle::HandleResponse(UpdateResult& result) {
  const std::string_view body = ResponseBody(host_.ResponseText());
  report_.answered = true;
  report_.confirmed = !host_.UpdatingEnabled() || AccountConfirmed(body);
  if (!report_.confirmed) result = UpdateResult::kAccountNotConfirmed;
  domains_ = ReadDomainList(body);
  report_.hosts = host_.WriteHostsSection(domains_);
  if (!HostsStepSucceeded(report_.hosts->outcome) && result == UpdateResult::kNoFailure)
    result = UpdateResult::kTransferFailed;
}

}  // namespace kalvane
