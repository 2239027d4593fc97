#include "sync/hosts_store.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "sync/hosts_section.h"

namespace kalvane {
namespace {

using namespace std::string_literals;
using testing::Fault;
using testing::FaultKind;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const SharedDomainList kTwo =
    std::make_shared<const DomainList>(DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}});
constexpr std::string_view kServiceHost = "dns.kalvane.example";
const std::string kTwoSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

const FilePath kHosts = L"/windows/system32/drivers/etc/hosts";
const FilePath kWorkingCopy = L"/program/hosts.bak";

class HostsStoreTest : public ::testing::Test {
 protected:
  HostsStore MakeStore(Fault fault = {}, HostsPaths paths = {kHosts, kWorkingCopy}) {
    auto files = std::make_unique<MemoryFileSystem>(disk_, fault);
    files_ = files.get();
    return HostsStore(
        std::move(files), std::move(paths), [this] { ++changes_; }, std::string(kServiceHost));
  }

  void SetHosts(std::string content) { disk_.files[kHosts] = {.content = std::move(content)}; }
  std::optional<std::string> Hosts() const { return disk_.Content(kHosts); }
  std::optional<std::string> WorkingCopy() const { return disk_.Content(kWorkingCopy); }

  MemoryDisk disk_;
  MemoryFileSystem* files_ = nullptr;
  int changes_ = 0;
};

TEST_F(HostsStoreTest, WritesAndClearsTheSectionThroughTheWorkingCopy) {
  SetHosts("127.0.0.1 localhost\n# mine\r\n#BEGIN\r\n9.9.9.9 stale\r\n");
  auto store = MakeStore();

  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  const auto written = "127.0.0.1 localhost\n# mine\r\n" + kTwoSection;
  EXPECT_EQ(Hosts(), written);
  EXPECT_EQ(WorkingCopy(), written);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(disk_.files.size(), 2u) << "temporary or backup file left behind";

  // The same list again: nothing to replace, no flush, but the working copy is written.
  const int hosts_writes = files_->writes_to(kHosts);
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kUnchanged);
  EXPECT_EQ(files_->writes_to(kHosts), hosts_writes);
  EXPECT_EQ(files_->writes_to(kWorkingCopy), 2);
  EXPECT_EQ(changes_, 1);

  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
  EXPECT_EQ(Hosts(), "127.0.0.1 localhost\n# mine\r\n");
  EXPECT_EQ(WorkingCopy(), Hosts());
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kNotTouched) << "no section left to clear";
  EXPECT_EQ(disk_.files.size(), 2u);
}

// After a restart the working copy tells which rows of a section left behind were ours, when it
// is intact, a plain file and its rows all stand in the hosts file; otherwise the section goes
// whole, as without any record. Within a run the last list written is the record.
TEST_F(HostsStoreTest, KeepsTheUserLinesOfASectionByTheRecordOfOurRows) {
  const std::string left = "u\n#BEGIN\n10.0.0.1 host1\n9.9.9.9 mine\n10.0.0.2 host2\n";
  struct Case {
    const char* what;
    std::optional<std::string> copy;
    bool link;
    std::string cleaned;
  };
  const std::vector<Case> cases = {
      {"intact", "u\r\n" + kTwoSection, false, "u\n9.9.9.9 mine\n"},
      {"missing", std::nullopt, false, "u\n"},
      {"cut off in its last line", "u\r\n" + kTwoSection.substr(0, kTwoSection.size() - 3), false,
       "u\n"},
      {"a link", "u\r\n" + kTwoSection, true, "u\n"},
      {"another machine's", "u\r\n#BEGIN\r\n10.1.1.1 host1\r\n", false, "u\n"},
  };
  for (const Case& c : cases) {
    disk_ = {};
    SetHosts(left);
    if (c.copy) disk_.files[kWorkingCopy] = {.content = *c.copy, .link = c.link};
    auto store = MakeStore();
    EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten) << c.what;
    EXPECT_EQ(Hosts(), c.cleaned) << c.what;
  }

  // In a run: a line appended to the section moves up at the next write, and stays at exit.
  disk_ = {};
  SetHosts("u\n");
  auto store = MakeStore();
  ASSERT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  SetHosts(*Hosts() + "9.9.9.9 mine");
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  EXPECT_EQ(Hosts(), "u\n9.9.9.9 mine\r\n" + kTwoSection);
  SetHosts(*Hosts() + "10.0.0.1 host1\r\n");  // a second copy of our row is the user's
  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
  EXPECT_EQ(Hosts(), "u\n9.9.9.9 mine\r\n10.0.0.1 host1\r\n");
}

// While the program runs an empty list leaves the hosts file alone; at exit the section goes
// whenever the hosts file holds one, whatever the last list was (one left by an earlier run or a
// crash included), and a hosts file without one is not rewritten.
TEST_F(HostsStoreTest, AnEmptyListLeavesTheSectionButTheExitCleanUpRemovesAnySection) {
  SetHosts("a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  auto store = MakeStore();

  EXPECT_EQ(store.WriteHostsSection({}).step, HostsStep::kNotTouched);
  EXPECT_EQ(Hosts(), "a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  EXPECT_EQ(WorkingCopy(), "a\r\n");
  EXPECT_EQ(changes_, 0);

  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
  EXPECT_EQ(Hosts(), "a\r\n");
  EXPECT_EQ(changes_, 1);

  // No section: one read, nothing written, not even the working copy.
  SetHosts("a\rb");
  disk_.files.erase(kWorkingCopy);
  const int steps = files_->steps();
  EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kNotTouched);
  EXPECT_EQ(Hosts(), "a\rb");
  EXPECT_EQ(WorkingCopy(), std::nullopt);
  EXPECT_EQ(files_->steps(), steps + 1) << "the clean-up wrote a file";
  EXPECT_EQ(changes_, 1);
}

// "hosts.bak" is a by-product: one that cannot be written (no folder, read-only, locked, a full
// disk) stops neither the update nor the exit clean-up.
TEST_F(HostsStoreTest, AWorkingCopyThatCannotBeWrittenStopsNothing) {
  const std::string original = "127.0.0.1 localhost\r\n#BEGIN\r\n9.9.9.9 old\r\n";
  const std::vector<std::pair<const char*, std::function<void(MemoryDisk&)>>> cases = {
      {"no program folder",
       [](MemoryDisk& d) { d.missing_folders.insert(kWorkingCopy.parent_path()); }},
      {"read-only", [](MemoryDisk& d) { d.files[kWorkingCopy].read_only = true; }},
      {"locked", [](MemoryDisk& d) { d.files[kWorkingCopy].locked = true; }},
      {"no program path", [](MemoryDisk&) {}},
  };
  for (const auto& [name, arrange] : cases) {
    SCOPED_TRACE(name);
    disk_ = {};
    SetHosts(original);
    arrange(disk_);
    const bool no_path = std::string_view(name) == "no program path";
    auto store = MakeStore({}, {kHosts, no_path ? FilePath() : kWorkingCopy});
    EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::Done(HostsStep::kWritten, kTwo));
    EXPECT_NE(WorkingCopy(), "127.0.0.1 localhost\r\n" + kTwoSection);
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n" + kTwoSection);
    EXPECT_EQ(store.ClearHostsSection().step, HostsStep::kWritten);
    EXPECT_NE(WorkingCopy(), "127.0.0.1 localhost\r\n");
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n");
  }
}

// An outcome carries the status of the failure that decided it, and the rows the section holds
// as written: rows left out (a control byte, the service's own host) are not among them.
TEST_F(HostsStoreTest, AnOutcomeCarriesTheDecidingStatusAndTheRowsWritten) {
  SetHosts("a\r\n");
  auto store = MakeStore();
  const auto with_refused = std::make_shared<const DomainList>(DomainList{
      {"host1", "10.0.0.1"}, {"bad\nhost", "10.0.0.2"}, {std::string(kServiceHost), "6.6.6.6"}});
  const auto written = std::make_shared<const DomainList>(DomainList{{"host1", "10.0.0.1"}});
  EXPECT_EQ(store.WriteHostsSection(with_refused),
            HostsOutcome::Done(HostsStep::kWritten, written));
  EXPECT_EQ(store.WriteHostsSection(with_refused),
            HostsOutcome::Done(HostsStep::kUnchanged, written));
  EXPECT_EQ(store.WriteHostsSection(kTwo).rows, kTwo) << "all rows written: the list itself";
  disk_.files[kHosts].read_only = true;
  const auto failed = [](HostsStep step, std::uint32_t code) {
    return HostsOutcome::Failed(step, Status::Failure(StatusKind::kFailed, code));
  };
  EXPECT_EQ(store.WriteHostsSection(written), failed(HostsStep::kReplace, testing::kAccessDenied));
  disk_.files[kHosts].locked = true;
  EXPECT_EQ(store.ClearHostsSection(), failed(HostsStep::kRead, testing::kSharingViolation));
  disk_.files[kHosts].locked = false;
  disk_.capacity = 0;  // a full disk: neither the working copy nor the temporary is written
  EXPECT_EQ(store.ClearHostsSection(), failed(HostsStep::kTempFile, testing::kDiskFull));
}

TEST_F(HostsStoreTest, EveryFailureLeavesTheHostsFileAsItWas) {
  const std::string original = "127.0.0.1 localhost\r\n#BEGIN\r\n9.9.9.9 old\r\n";
  struct Case {
    const char* name;
    std::function<void(MemoryDisk&, std::size_t new_size)> arrange;
    HostsStep step;
    StatusKind kind = StatusKind::kFailed;
    HostsPaths paths = {kHosts, kWorkingCopy};
  };
  const std::vector<Case> cases = {
      {"read-only", [](MemoryDisk& d, std::size_t) { d.files[kHosts].read_only = true; },
       HostsStep::kReplace},
      {"locked", [](MemoryDisk& d, std::size_t) { d.files[kHosts].locked = true; },
       HostsStep::kRead},
      {"utf-16", [](MemoryDisk& d, std::size_t) { d.files[kHosts].content = "\xFF\xFE#\0B\0"s; },
       HostsStep::kRead, StatusKind::kRejected},
      {"nul", [](MemoryDisk& d, std::size_t) { d.files[kHosts].content += '\0'; }, HostsStep::kRead,
       StatusKind::kRejected},
      {"disk full",  // room for the working copy, none for the new hosts file
       [](MemoryDisk& d, std::size_t size) { d.capacity = d.Used() + size + size / 2; },
       HostsStep::kTempFile},
      {"no system directory",
       [](MemoryDisk&, std::size_t) {},
       HostsStep::kLocate,
       StatusKind::kNotFound,
       {{}, kWorkingCopy}},
  };
  for (const auto& c : cases) {
    for (const bool clear : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (clear ? " (clear)" : " (write)"));
      disk_ = {};
      SetHosts(original);
      c.arrange(disk_, clear ? ComposeUserLines(original).size()
                             : ComposeHostsWithSection(original, *kTwo, kServiceHost).size());
      const auto before = disk_.files.at(kHosts).content;
      auto store = MakeStore({}, c.paths);
      const HostsOutcome outcome =
          clear ? store.ClearHostsSection() : store.WriteHostsSection(kTwo);
      EXPECT_EQ(outcome.step, c.step);
      EXPECT_EQ(outcome.status.kind(), c.kind);
      EXPECT_EQ(outcome.rows, nullptr);
      EXPECT_EQ(Hosts(), before);
      EXPECT_LE(disk_.files.size(), 2u) << "temporary or backup file left behind";
      EXPECT_EQ(changes_, 0);
    }
  }

  // A missing hosts file is not created, neither by writing nor by clearing.
  disk_ = {};
  auto store = MakeStore();
  for (const HostsOutcome& missing : {store.WriteHostsSection(kTwo), store.ClearHostsSection()}) {
    EXPECT_EQ(missing.step, HostsStep::kRead);
    EXPECT_EQ(missing.status.kind(), StatusKind::kNotFound);
  }
  EXPECT_TRUE(disk_.files.empty());
}

// Every step of a write or a clear fails in turn, or the power goes at it: afterwards the hosts
// file holds the old or the new content, never anything else and never nothing, and the next
// run of the same step finishes the job.
TEST_F(HostsStoreTest, AFaultAtAnyStepLeavesTheOldOrTheNewHostsFile) {
  const std::string old_content = "127.0.0.1 localhost\r\n#BEGIN\r\n9.9.9.9 old\r\n";
  const std::string write_content = "127.0.0.1 localhost\r\n" + kTwoSection;
  const std::string clear_content = "127.0.0.1 localhost\r\n";
  const Fault kinds[] = {
      {.kind = FaultKind::kFail, .replace_failure = StatusKind::kFailed},
      {.kind = FaultKind::kFail, .replace_failure = StatusKind::kPartial},
      {.kind = FaultKind::kFail,
       .replace_failure = StatusKind::kPartial,
       .partial_reported_as_failed = true},
      {.kind = FaultKind::kPowerLoss},
  };
  for (const bool clear : {false, true}) {
    const auto& new_content = clear ? clear_content : write_content;
    for (auto fault : kinds) {
      int faults_hit = 0;
      for (fault.step = 0;; ++fault.step) {
        SCOPED_TRACE(::testing::Message()
                     << (clear ? "clear" : "write") << ", fault kind "
                     << static_cast<int>(fault.kind) << " at step " << fault.step);
        disk_ = {};
        SetHosts(old_content);
        changes_ = 0;
        auto store = MakeStore(fault);
        const HostsStep outcome =
            (clear ? store.ClearHostsSection() : store.WriteHostsSection(kTwo)).step;
        if (!files_->fault_hit()) {
          EXPECT_EQ(outcome, HostsStep::kWritten);
          break;
        }
        ++faults_hit;
        if (fault.kind == FaultKind::kPowerLoss) disk_.LosePower();

        ASSERT_TRUE(Hosts().has_value());
        EXPECT_TRUE(*Hosts() == old_content || *Hosts() == new_content) << *Hosts();
        if (fault.kind == FaultKind::kFail) {
          EXPECT_EQ(*Hosts(), outcome == HostsStep::kWritten ? new_content : old_content)
              << "step " << static_cast<int>(outcome);
          EXPECT_EQ(changes_, outcome == HostsStep::kWritten ? 1 : 0);
        }

        auto rerun = MakeStore();
        const HostsStep again =
            (clear ? rerun.ClearHostsSection() : rerun.WriteHostsSection(kTwo)).step;
        // A clear that got through before the fault finds no section the second time.
        EXPECT_TRUE(again == HostsStep::kWritten || again == HostsStep::kUnchanged ||
                    (clear && again == HostsStep::kNotTouched))
            << static_cast<int>(again);
        EXPECT_EQ(Hosts(), new_content);
      }
      EXPECT_GE(faults_hit, 7) << "the write path has fewer steps than expected";
    }
  }
}

TEST_F(HostsStoreTest, AHostsFileLeftUnderTheBackupNameIsMovedBack) {
  const std::string old_content = "127.0.0.1 localhost\r\n";
  SetHosts(old_content);
  {
    // The replace moves the hosts file aside and fails; so does everything after it.
    auto store = MakeStore({.kind = FaultKind::kFail,
                            .step = 4,  // read, working copy, temporary file, flush, replace
                            .replace_failure = StatusKind::kPartial,
                            .persistent = true});
    // The outcome names the replace's failure, not that of the moves after it.
    EXPECT_EQ(store.WriteHostsSection(kTwo),
              HostsOutcome::Failed(
                  HostsStep::kPutBack,
                  Status::Failure(StatusKind::kPartial, testing::kUnableToMoveReplacement2)));
    EXPECT_EQ(Hosts(), std::nullopt);
    FilePath backup = kHosts;
    backup += L".kalvane-old";
    EXPECT_EQ(disk_.Content(backup), old_content);
  }
  // The next step puts it back before anything else, even one that then writes nothing.
  auto store = MakeStore();
  EXPECT_EQ(store.WriteHostsSection({}).step, HostsStep::kNotTouched);
  EXPECT_EQ(Hosts(), old_content);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(store.WriteHostsSection(kTwo).step, HostsStep::kWritten);
  EXPECT_EQ(Hosts(), old_content + kTwoSection);
  EXPECT_EQ(disk_.files.size(), 2u);
}

// Power lost after the replace but before the backup was removed: the hosts file holds the new
// content and the backup the old. The next step leaves the hosts file alone and does not bring
// the old section back.
TEST_F(HostsStoreTest, ABackupLeftBesideAReplacedHostsFileIsNotMovedBack) {
  const std::string old_content = "127.0.0.1 localhost\r\n#BEGIN\r\n9.9.9.9 old\r\n";
  const std::string new_content = "127.0.0.1 localhost\r\n" + kTwoSection;
  SetHosts(old_content);
  {
    // read, working copy, temporary file, flush, replace, read back, remove the backup
    auto store = MakeStore({.kind = FaultKind::kPowerLoss, .step = 6});
    (void)store.WriteHostsSection(kTwo);
    ASSERT_TRUE(files_->fault_hit());
  }
  disk_.LosePower();
  ASSERT_EQ(Hosts(), new_content);
  ASSERT_EQ(disk_.files.size(), 3u) << "the backup is expected beside the hosts file";
  changes_ = 0;
  auto store = MakeStore();
  EXPECT_EQ(store.WriteHostsSection({}).step, HostsStep::kNotTouched);
  EXPECT_EQ(Hosts(), new_content);
  EXPECT_EQ(changes_, 0);
}

// A replace that says it left both files under their names but moved the hosts file aside: the
// hosts file is put back at once, and the report keeps the replace's error.
TEST_F(HostsStoreTest, AReplaceThatMovedTheHostsFileAsideDespiteItsWordPutsItBack) {
  const std::string old_content = "127.0.0.1 localhost\r\n";
  SetHosts(old_content);
  auto store = MakeStore({.kind = FaultKind::kFail,
                          .step = 4,  // read, working copy, temporary file, flush, replace
                          .replace_failure = StatusKind::kPartial,
                          .partial_reported_as_failed = true});
  const HostsOutcome outcome = store.WriteHostsSection(kTwo);
  EXPECT_EQ(outcome.step, HostsStep::kReplace);
  EXPECT_EQ(outcome.status.system_error(), testing::kDeviceError);
  EXPECT_EQ(Hosts(), old_content);
  EXPECT_EQ(disk_.files.size(), 2u) << "temporary or backup file left behind";
}

}  // namespace
}  // namespace kalvane
