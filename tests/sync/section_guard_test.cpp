#include "sync/section_guard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sync/hosts_section.h"

namespace kalvane {
namespace {

using enum GuardDecision;

constexpr std::string_view kService = "dns.kalvane.example";
const DomainList kList = {{"a.example", "10.0.0.1"}, {"b.example", "10.0.0.2"}};
const DomainList kOther = {{"a.example", "10.0.0.9"}};
const DomainList kEmpty;

std::string Hosts(std::string_view user, const DomainList& list) {
  return ComposeHostsWithSection(user, list, kService);
}

// One program run as the controller drives the guard: steps at seconds after the start.
TEST(SectionGuardTest, DecidesWhatAChangedHostsFileNeeds) {
  enum class Step { kChanged, kWrote, kRegularCycle, kClosing };
  struct Row {
    int second;
    Step step;
    std::string content_or_note;  // kChanged: the hosts file now
    GuardDecision expected = kNothing;
    const DomainList* list = &kList;  // kWrote: the list and how the step ended
    HostsStep hosts_step = HostsStep::kWritten;
  };
  const std::string user = "127.0.0.1 localhost\r\n";
  const std::string own = Hosts(user, kList);
  const std::string user_more = user + "10.9.9.9 av.example\r\n";
  const Row rows[] = {
      {0, Step::kChanged, user, kNothing},  // no section written yet: none to keep
      {1, Step::kWrote, "the first cycle finds the section as it should be", kNothing, &kList,
       HostsStep::kUnchanged},
      {1, Step::kChanged, own, kNothing},                            // our own write
      {5, Step::kChanged, Hosts(user_more, kList), kNothing},        // a line added above it
      {6, Step::kChanged, own.substr(0, own.size() - 2), kNothing},  // last line end dropped
      {10, Step::kChanged, user_more, kRestore},                     // the section removed
      {11, Step::kChanged, Hosts(user, kOther), kRestore},           // an address changed
      // A line appended to it is moved up, which is no restore: it does not count.
      {12, Step::kChanged, own + "10.9.9.9 c.example", kMoveUp},
      {12, Step::kChanged, "#BEGIN\n10.0.0.1 a.example\n10.0.0.2 b.example\n", kNothing},  // LF
      {13, Step::kChanged, user, kRestore},
      {14, Step::kChanged, user, kPaused},              // the fourth reset within ten minutes
      {15, Step::kChanged, own, kNothing},              // put back by someone else: nothing to do
      {16, Step::kChanged, own + "# mine\n", kMoveUp},  // moving up needs no restore
      {20, Step::kRegularCycle, "resets the count"},
      {100, Step::kChanged, user, kRestore},
      {200, Step::kChanged, user, kRestore},
      {300, Step::kChanged, user, kRestore},
      {700, Step::kChanged, user, kRestore},  // the restore at 100 s is more than ten minutes ago
      {701, Step::kChanged, user, kPaused},
      {710, Step::kRegularCycle, "resets the count"},
      // Nothing put back is older than the latest answer: not after rows that could not be
      // written, nor after an empty list, until a later answer's rows are written.
      {720, Step::kWrote, "rows not written", kNothing, &kOther, HostsStep::kReplace},
      {721, Step::kChanged, user, kNothing},
      {722, Step::kWrote, "the rows written again", kNothing, &kList},
      {723, Step::kChanged, user, kRestore},
      {724, Step::kWrote, "an empty answer: rows withdrawn", kNothing, &kEmpty,
       HostsStep::kNotTouched},
      {725, Step::kChanged, user, kNothing},
      {726, Step::kChanged, own + "# mine\n", kNothing},
      {730, Step::kWrote, "the section now holds the other list", kNothing, &kOther},
      {731, Step::kChanged, Hosts(user, kOther), kNothing},
      {732, Step::kChanged, own, kRestore},
      {740, Step::kClosing, "the window closes"},
      {741, Step::kChanged, user, kNothing},
  };

  SectionGuard guard;
  const MonotonicClock::time_point t0{std::chrono::hours(1000)};
  bool paused = false;  // from the first kPaused until the next regular cycle
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "at " << row.second << " s");
    switch (row.step) {
      case Step::kChanged:
        EXPECT_EQ(guard.OnHostsChanged(row.content_or_note, t0 + std::chrono::seconds(row.second)),
                  row.expected);
        paused = paused || row.expected == kPaused;
        EXPECT_EQ(guard.Paused(), paused);
        break;
      case Step::kWrote:
        // The store's outcome: rows only when the section holds them.
        if (row.hosts_step == HostsStep::kWritten || row.hosts_step == HostsStep::kUnchanged) {
          guard.OnHostsStep(
              HostsOutcome::Done(row.hosts_step, std::make_shared<const DomainList>(*row.list)));
        } else if (row.hosts_step == HostsStep::kNotTouched) {
          guard.OnHostsStep(HostsOutcome::Done(row.hosts_step));
        } else {
          guard.OnHostsStep(
              HostsOutcome::Failed(row.hosts_step, Status::Failure(StatusKind::kFailed)));
        }
        break;
      case Step::kRegularCycle:
        guard.OnRegularCycle();
        paused = false;
        break;
      case Step::kClosing:
        guard.OnClosing();
        break;
    }
  }
  EXPECT_EQ(*guard.Mappings(), kOther) << "the list to restore from";
}

}  // namespace
}  // namespace kalvane
