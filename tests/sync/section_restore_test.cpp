#include "sync/section_restore.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "sync/hosts_section.h"

namespace kalvane {
namespace {

const std::string kUser = "127.0.0.1 localhost\r\n";
const SharedDomainList kRows =
    std::make_shared<const DomainList>(DomainList{{"a.example", "10.0.0.1"}});

// The hosts file as a string; each write puts the rows below the user's lines, or fails.
class FakeHosts final : public HostsWriter {
 public:
  HostsOutcome WriteHostsSection(const SharedDomainList& rows) noexcept override {
    ++writes;
    if (!write_fails) content = ComposeHostsWithSection(kUser, *rows, {});
    return write_fails
               ? HostsOutcome::Failed(HostsStep::kReplace, Status::Failure(StatusKind::kFailed, 5))
               : HostsOutcome::Done(HostsStep::kWritten, rows);
  }
  HostsOutcome ClearHostsSection() noexcept override { return {}; }
  Result<std::string> ReadHostsFile() noexcept override {
    ++reads;
    if (read_fails) return Status::Failure(StatusKind::kFailed, 32);
    return content;
  }

  std::string content = kUser;
  bool read_fails = false;
  bool write_fails = false;
  int reads = 0;
  int writes = 0;
};

// The restore reads the hosts file only while it keeps a section, writes back the rows the last
// cycle's hosts step wrote, and tells each restore, its failure and a pause (once) with the
// guard's decision.
TEST(SectionRestore, PutsBackTheLastRowsWrittenAndTellsWhatItDid) {
  FakeHosts hosts;
  SectionRestore restore(hosts);
  MonotonicClock::time_point now{std::chrono::hours(1)};
  const auto settle = [&] {
    now += std::chrono::seconds(1);
    return restore.OnHostsSettled(now);
  };
  EXPECT_EQ(settle(), std::nullopt);
  EXPECT_EQ(hosts.reads, 0) << "no section of ours: nothing to read";

  restore.OnHostsStep(hosts.WriteHostsSection(kRows));
  EXPECT_EQ(settle(), std::nullopt) << "our own write";

  hosts.content = kUser;
  std::optional<RestoreReport> report = settle();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->decision, GuardDecision::kRestore);
  EXPECT_EQ(report->hosts, HostsOutcome::Done(HostsStep::kWritten, kRows));
  EXPECT_EQ(hosts.content, ComposeHostsWithSection(kUser, *kRows, {}));

  hosts.read_fails = true;  // read again at the next change or cycle
  EXPECT_EQ(settle(), std::nullopt);
  hosts.read_fails = false;

  hosts.content = kUser;
  hosts.write_fails = true;
  report = settle();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->hosts.step, HostsStep::kReplace) << "the failed write is told";
  hosts.write_fails = false;

  // The third restore within the window is the last one; the pause is told once.
  EXPECT_EQ(settle()->decision, GuardDecision::kRestore);
  hosts.content = kUser;
  const int writes = hosts.writes;
  EXPECT_EQ(settle()->decision, GuardDecision::kPaused);
  EXPECT_EQ(settle(), std::nullopt);
  EXPECT_EQ(hosts.writes, writes);
  restore.OnRegularCycle();
  EXPECT_EQ(settle()->decision, GuardDecision::kRestore);

  restore.OnHostsStep(HostsOutcome::Done(HostsStep::kUnchanged, kRows));
  restore.Stop();
  const int reads = hosts.reads;
  EXPECT_EQ(settle(), std::nullopt);
  EXPECT_EQ(hosts.reads, reads) << "nothing is read once closing";
  EXPECT_TRUE(restore.Stopped());
}

}  // namespace
}  // namespace kalvane
