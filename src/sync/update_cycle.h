#pragma once

// Keeping the hosts section in step with the service: one update cycle (request, attempts,
// response, hosts write) and the restore of a section another program changed. The pieces it
// uses: the body reader (response_body.h), the hosts section and its store (hosts_section.h,
// hosts_store.h), the rows never written (refused_rows.h) and the guard (section_guard.h).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "account/password.h"
#include "base/ansi_code_page.h"
#include "base/status.h"
#include "http/http_client.h"
#include "sync/domain_list.h"
#include "sync/hosts_store.h"
#include "sync/section_guard.h"

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

// What the last cycle did, for the status shown to the user.
struct CycleReport {
  UpdateResult result = UpdateResult::kNoFailure;
  bool account_sent = true;  // false: the account's values could not be put into a request
  bool answered = false;     // an attempt got a response, taken or refused
  // Why the latest answer was refused, when no answer was taken after it (fault kNone otherwise).
  AnswerVerdict refusal;
  // How the attempt that decided the cycle went: success for the one that got the response, else
  // why the last attempt got none (kTimedOut, kNotFound, kFailed with the Winsock error code...).
  Status transfer;
  // Which way that attempt went: through a proxy or direct, and a proxy that failed on the way.
  // Its proxy hosts are names a row of the answer must not redirect.
  FetchRoute route;
  bool confirmed = false;             // the account was confirmed, or updating was off
  SharedDomainList mappings;          // the list the response held; none without one
  std::optional<HostsOutcome> hosts;  // the hosts step after the response
};

// What a look at a hosts file that another program changed came to.
struct RestoreReport {
  enum class Kind {
    kNothing,   // the section is as written, or there is nothing of ours to keep
    kRestored,  // the section was written again; `hosts` tells how that went
    kMovedUp,   // lines others added to the section were moved above it, the section written
                // again as it stood; `hosts` tells how that went
    kPaused,    // it was changed again too often: restoring waits for the next regular cycle
  };
  Kind kind = Kind::kNothing;
  HostsOutcome hosts;
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

  // The hosts file changed and has been quiet for a moment since. When another program removed
  // or changed the section the last cycle wrote, it is written again from that cycle's list, with
  // no request to the service (SectionGuard, section_guard.h, decides and bounds this); lines
  // others added to the section go above it. The hosts
  // file is read only here; `now` counts the restores.
  RestoreReport RestoreChangedSection(MonotonicClock::time_point now);
  // A regular refresh runs: restoring, paused or not, starts afresh.
  void ResumeRestoring() { guard_.OnRegularCycle(); }

  bool Running() const { return running_; }
  // The last cycle that was started.
  const CycleReport& LastReport() const { return report_; }

 private:
  void HandleResponse(const AccountSource& account, std::string_view response,
                      UpdateResult& result);
  // One attempt; true when it got an answer that was taken.
  bool Attempt(const AccountSource& account, std::string_view path, UpdateResult& result);
  // Takes the attempt's route into the report.
  void KeepProxyFailure(FetchRoute route);

  PageFetch& fetch_;
  HostsWriter& hosts_;
  const AnsiCodePage& code_page_;
  SectionGuard guard_;
  CycleReport report_;
  bool running_ = false;
  bool ended_ = false;
};

}  // namespace kalvane
