#include "sync/update_cycle.h"

#include "app/scoped_flag.h"
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
  if (!account.check1) return path;

  const std::optional<std::string> domain = encoding.encode_text(TrimSpaces(account.text1));
  const std::optional<std::string> password = account.password_is_digest
                                                  ? encoding.encode_text(account.text2)
                                                  : encoding.digest_password(account.text2);
  if (!domain || !password) return std::nullopt;
  path.append(kDomainQuery).append(*domain).append(kPasswordQuery).append(*password);
  if (BreaksRequestLine(path)) return std::nullopt;
  return path;
}

std::optional<UpdateResult> UpdateCycle::UpdateDomains(const AccountView& account,
                                                       const RequestEncoding& encoding) {
  if (running_) return std::nullopt;
  ScopedFlag running(running_);

  std::optional<std::string> path = BuildRequestPath(account, encoding);
  if (!path) return UpdateResult::AccountNotConfirmed;  // nothing that is not the account goes out
  request_path_ = std::move(*path);

  UpdateResult result = UpdateResult::NoFailure;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    if (host_.Closing()) break;
    if (host_.HttpGet(request_path_)) {
      if (!host_.Closing()) HandleResponse(result);
      break;
    }
    result = UpdateResult::TransferFailed;
  }
  return result;
}

void UpdateCycle::HandleResponse(UpdateResult& result) {
  const std::string_view body = ResponseBody(host_.ResponseText());
  if (host_.Check1Checked() && !AccountConfirmed(body)) result = UpdateResult::AccountNotConfirmed;
  domains_ = ReadDomainList(body);
  host_.WriteHostsSection(domains_);
}

}  // namespace kalvane
