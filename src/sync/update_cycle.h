#pragma once

// Keeping the hosts section in step with the service: one update cycle (request, attempts,
// response, hosts write) and the pieces it uses, the body reader (response_body.h), the hosts
// section and its store (hosts_section.h, hosts_store.h) and the refresh rule (refresh_schedule.h).

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/update_result.h"
#include "sync/domain_list.h"
#include "sync/hosts_store.h"

namespace kalvane {

inline constexpr std::string_view kServicePath = "/kalvanedns/getdomain.asp";
inline constexpr int kMaxAttempts = 3;

// The account as the window holds it when a cycle starts.
struct AccountView {
  bool updating_enabled = false;
  std::u16string_view domain;
  std::u16string_view password;  // the typed password, or its digest text
  bool password_is_digest = false;
};

// Turns window text into request bytes: the domain in the ANSI code page, the password into its
// 32-character digest text. Each gives nothing when the text cannot be converted.
struct RequestEncoding {
  std::function<std::optional<std::string>(std::u16string_view)> encode_text;
  std::function<std::optional<std::string>(std::u16string_view)> digest_password;
};

// The request path for the account; nothing when a value cannot be converted or would break the
// request line (CR, LF, NUL). The values are otherwise sent unescaped. The password goes out as a
// digest text and nothing else: the box is sent as it stands only when the flag says it holds the
// digest and it does hold 32 upper-case hex digits; any other text is digested first, whatever
// the flag says, so that no order of events can send a typed password in clear.
std::optional<std::string> BuildRequestPath(const AccountView& account,
                                            const RequestEncoding& encoding);

// What the cycle needs from the window it runs in.
class UpdateCycleHost {
 public:
  virtual ~UpdateCycleHost() = default;
  virtual bool HttpGet(std::string_view path) = 0;
  virtual const std::string& ResponseText() const = 0;
  // Read again after the response: the user may have changed it while the cycle waited.
  virtual bool UpdatingEnabled() const = 0;
  // The window is closing: the cycle must not touch the hosts file any more.
  virtual bool Closing() const = 0;
  virtual HostsStepReport WriteHostsSection(const DomainList& domains) = 0;
};

// What the last cycle did, for the status shown to the user.
struct CycleReport {
  UpdateResult result = UpdateResult::kNoFailure;
  bool account_sent = true;  // false: the account's values could not be put into a request
  bool answered = false;     // an attempt got a response
  bool confirmed = false;    // the account was confirmed, or updating was off
  std::optional<HostsStepReport> hosts;  // the hosts step after the response
};

// One update cycle at a time: builds the path, makes up to three attempts without pause, reads the
// confirmation and the mapping list, and has the hosts section written after each response. A
// response whose rows could not be put into the hosts file is no success: a cycle that would
// have ended with kNoFailure ends with kTransferFailed; an unconfirmed account stays
// kAccountNotConfirmed, the first thing for the user to mend.
class UpdateCycle {
 public:
  explicit UpdateCycle(UpdateCycleHost& host) : host_(host) {}

  // Nothing when a cycle is already running (this one is not started).
  std::optional<UpdateResult> UpdateDomains(const AccountView& account,
                                            const RequestEncoding& encoding);

  bool Running() const { return running_; }
  // The list of the last response read; kept when a cycle gets no response.
  const DomainList& Domains() const { return domains_; }
  // The last cycle that was started.
  const CycleReport& LastReport() const { return report_; }

 private:
  void HandleResponse(UpdateResult& result);

  UpdateCycleHost& host_;
  DomainList domains_;
  CycleReport report_;
  bool running_ = false;
};

}  // namespace kalvane
