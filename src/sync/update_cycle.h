#pragma once

// Keeping the hosts section in step with the service: one update cycle (request, attempts,
// response, hosts write). The pieces it uses: the body reader (service_page.h), the hosts
// section and its store (hosts_section.h, hosts_store.h) and the rows never written
// (refused_rows.h). Putting back a section another program changed is no cycle
// (section_restore.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "account/password.h"
#include "base/ansi_code_page.h"
#include "base/status.h"
#include "http/http_client.h"
#include "sync/domain_list.h"
#include "sync/hosts_store.h"

namespace kalvane {

inline constexpr std::string_view kServicePath = "/kalvanedns/getdomain.asp";
inline constexpr int kMaxAttempts = 3;

// The outcome of one update cycle, as a whole.
enum class UpdateResult : std::int16_t {
  kNoFailure = 0,
  kAccountNotConfirmed = 1,  // also: the account's values could not be sent at all
  kTransferFailed = 2,
};

// The request path for the account: kUnconvertible when a value cannot be converted, kRejected
// when it would break the request line (CR, LF, NUL). The domain goes out in the ANSI code page,
// otherwise unescaped. The password goes out as a digest text and nothing else (Password::Digest):
// a typed password is never sent in clear.
Result<std::string> BuildRequestPath(const AccountBoxes& account, const AnsiCodePage& code_page);

// How an update cycle ended: exactly one of the four endings below, each with what it knows.

// The account's values could not be put into a request: nothing went out.
struct AccountNotSent {};

// No attempt got an answer.
struct NoAnswer {
  // Why the last attempt got none: kTimedOut, kNotFound, kFailed with the Winsock error code...;
  // kCancelled when the program closed meanwhile.
  Status transfer = Status::Failure(StatusKind::kCancelled);
  FetchRoute route;  // which way the last attempt went
};

// The latest answer was refused (an error status, say), and none was taken after it.
struct AnswerRefused {
  AnswerVerdict refusal;
  FetchRoute route;
};

// An answer was taken and its rows went to the hosts step.
struct AnswerTaken {
  bool confirmed = false;       // the account was confirmed, or updating was off
  bool after_failures = false;  // earlier attempts of the cycle got no answer that was taken
  SharedDomainList mappings;    // the list the answer held
  HostsOutcome hosts;           // the hosts step after it
  // Which way the answer came: through a proxy or direct, and a proxy that failed on the way.
  // Its proxy hosts are names a row of the answer must not redirect.
  FetchRoute route;
};

// What the last cycle did, for the status shown to the user.
struct CycleReport {
  std::variant<NoAnswer, AnswerRefused, AnswerTaken, AccountNotSent> ending;

  // The cycle's outcome as a whole: no failure for a confirmed answer whose rows went into the
  // hosts file at the first attempt; an unconfirmed account (or one that could not be sent) before
  // anything else; every other ending is a failed transfer.
  UpdateResult Result() const;
  bool AccountSent() const { return !std::holds_alternative<AccountNotSent>(ending); }
  // An attempt got an answer, taken or refused.
  bool Answered() const { return Refused() != nullptr || Taken() != nullptr; }
  const NoAnswer* Unanswered() const { return std::get_if<NoAnswer>(&ending); }
  const AnswerRefused* Refused() const { return std::get_if<AnswerRefused>(&ending); }
  const AnswerTaken* Taken() const { return std::get_if<AnswerTaken>(&ending); }
  // The hosts step, when an answer was taken.
  const HostsOutcome* Hosts() const { return Taken() ? &Taken()->hosts : nullptr; }
  // Which way the attempt that decided the cycle went; nothing when nothing went out.
  const FetchRoute* Route() const;
};

// Told of what the update cycles came to: the status display.
class UpdateObserver {
 public:
  virtual ~UpdateObserver() = default;
  // A cycle ended, and the program is not closing.
  virtual void OnCycleEnded(const CycleReport& report) = 0;
  // The exit clean-up ran: the hosts section is gone, or the outcome says why not.
  virtual void OnCleanUp(const HostsOutcome& outcome) = 0;
};

// The hosts of the proxies `route` names, which no row of an answer may redirect.
std::vector<std::string> ProxyHostsOf(const FetchRoute& route);

// One update cycle at a time: builds the path, makes up to three attempts without pause through
// the fetch (an answer that is refused, an error status say, counts as a failed attempt, but the
// cycle was answered), reads the confirmation and the mapping list, and has the hosts section
// written after each response. A response whose rows could not be put into the hosts file is no
// success: a cycle that would have ended with kNoFailure ends with kTransferFailed; an unconfirmed
// account stays kAccountNotConfirmed, the first thing for the user to mend.
class UpdateCycle {
 public:
  UpdateCycle(PageFetch& fetch, HostsWriter& hosts, const AnsiCodePage& code_page)
      : fetch_(fetch), hosts_(hosts), code_page_(code_page) {}
  UpdateCycle(const UpdateCycle&) = delete;
  UpdateCycle& operator=(const UpdateCycle&) = delete;

  // Nothing when a cycle is already running (this one is not started) or the cycles have ended.
  std::optional<UpdateResult> UpdateDomains(const AccountSource& account);

  // The program is closing: a waiting cycle ends without touching the hosts file again, no
  // cycle starts any more, and the section is taken out of the hosts file whenever it holds one.
  HostsOutcome EndAndClearSection();

  bool Running() const { return running_; }
  // The last cycle that was started.
  const CycleReport& LastReport() const { return report_; }

 private:
  // Up to kMaxAttempts attempts with `path`, until an answer is taken.
  CycleReport Attempts(const AccountSource& account, std::string_view path);
  AnswerTaken HandleResponse(const AccountSource& account, std::string_view body, FetchRoute route);

  PageFetch& fetch_;
  HostsWriter& hosts_;
  const AnsiCodePage& code_page_;
  CycleReport report_;
  bool running_ = false;
  bool ended_ = false;
};

}  // namespace kalvane
