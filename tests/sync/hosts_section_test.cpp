#include "sync/hosts_section.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "memory_file_system.h"
#include "sync/hosts_store.h"

namespace kalvane {
namespace {

using namespace std::string_literals;
using testing::Fault;
using testing::FaultKind;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const DomainList kTwo = {{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}};
constexpr std::string_view kServiceHost = "dns.kalvane.example";
const std::string kTwoSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  HostsLineReader reader(bytes);
  while (auto line = reader.Next()) lines.emplace_back(*line);
  return lines;
}

TEST(HostsLineReader, EndsLinesAtCrLfOrLoneCrButNotAtLoneLf) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Lines(""), V{});
  EXPECT_EQ(Lines("a\r\nb\r\n"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\r\nb"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\rb\r"), (V{"a", "b"}));
  EXPECT_EQ(Lines("a\nb\r\nc\n"), (V{"a\nb", "c\n"}));
  EXPECT_EQ(Lines("\r\n"), V{""});
  EXPECT_EQ(Lines("a\r\r\n\r\nb"), (V{"a", "", "", "b"}));
  EXPECT_EQ(Lines("\n\r\r\n"), (V{"\n", ""}));
}

TEST(HostsSection, KeepsTheUserLinesAboveTheFirstMarkerAndAppendsTheSection) {
  // No marker: every line stays, the section follows the last one, which gets its CR LF.
  EXPECT_EQ(ComposeHostsWithSection("127.0.0.1 localhost\r\n::1 localhost", kTwo, kServiceHost),
            "127.0.0.1 localhost\r\n::1 localhost\r\n" + kTwoSection);
  // An empty hosts file becomes the marker and the two mapping lines.
  EXPECT_EQ(ComposeHostsWithSection("", kTwo, kServiceHost), kTwoSection);
  // Only the exact line is a marker.
  EXPECT_EQ(
      ComposeHostsWithSection(" #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n", kTwo, kServiceHost),
      " #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n" + kTwoSection);
  // The first of two markers ends the user's part; lines below the section are dropped.
  EXPECT_EQ(ComposeHostsWithSection("a\r\n#BEGIN\r\n1.1.1.1 old\r\n#BEGIN\r\nmine\r\n", kTwo,
                                    kServiceHost),
            "a\r\n" + kTwoSection);
  // Lone CRs become CR LF; a lone LF stays inside its line, so "x\n#BEGIN" is no marker line.
  EXPECT_EQ(ComposeHostsWithSection("a\rb\nc\r\nx\n#BEGIN\r", kTwo, kServiceHost),
            "a\r\nb\nc\r\nx\n#BEGIN\r\n" + kTwoSection);
  // Bytes are carried over as they are: a UTF-8 BOM stays first, ANSI text stays unchanged.
  EXPECT_EQ(ComposeHostsWithSection("\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n", kTwo,
                                    kServiceHost),
            "\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n" + kTwoSection);
  // IPv6 rows are written as they come, a zone index included.
  EXPECT_EQ(
      ComposeHostsWithSection("", {{"host6", "2001:db8::1"}, {"link", "fe80::1%4"}}, kServiceHost),
      "#BEGIN\r\n2001:db8::1 host6\r\nfe80::1%4 link\r\n");
  // A non-empty list whose mappings are all refused still gets its marker.
  EXPECT_EQ(ComposeHostsWithSection("a", {{"bad\n", "1.1.1.1"}}, kServiceHost), "a\r\n#BEGIN\r\n");
}

TEST(HostsSection, UserLinesAloneCutTheSectionOut) {
  EXPECT_TRUE(HasSection("a\r\n#BEGIN\r\n"));
  EXPECT_TRUE(HasSection("#BEGIN"));
  EXPECT_FALSE(HasSection("a\r\n #BEGIN\r\n#begin\r\nx\n#BEGIN\r\n"));
  EXPECT_FALSE(HasSection(""));
  EXPECT_EQ(ComposeUserLines("a\r\n#BEGIN\r\n10.0.0.1 host1\r\n"), "a\r\n");
  EXPECT_EQ(ComposeUserLines("#BEGIN\r\n10.0.0.1 host1\r\n"), "");
  // Without a marker the same lines come back, each ended by CR LF.
  EXPECT_EQ(ComposeUserLines("a\rb\nc"), "a\r\nb\nc\r\n");
  EXPECT_EQ(ComposeUserLines("a\r\n\r\n"), "a\r\n\r\n");
}

TEST(HostsSection, LeavesOutMappingsThatHoldControlCharacters) {
  const DomainList list = {
      {"good", "10.0.0.1"},
      {"evil\r\n6.6.6.6 bank.example", "10.0.0.2"},
      {"tab\there", "10.0.0.3\t"},
      {"lf", "10.0.0.4\n"},
      {"nul"s + '\0', "10.0.0.5"},
      {"del\x7F", "10.0.0.6"},
      {"unit\x1F", "10.0.0.7"},
      {"spaced host", " 10.0.0.8"},
      {"\xC4\xE3.example", "10.0.0.9"},
  };
  // A TAB parts fields as a space does: written as it came.
  EXPECT_EQ(ComposeHostsWithSection("", list, kServiceHost),
            "#BEGIN\r\n10.0.0.1 good\r\n10.0.0.3\t tab\there\r\n 10.0.0.8 spaced host\r\n"
            "10.0.0.9 \xC4\xE3.example\r\n");
  EXPECT_FALSE(IsWritableMapping({"h", "\x01"}, kServiceHost));
  EXPECT_FALSE(IsWritableMapping({"h\v", "1.1.1.1"}, kServiceHost));
  EXPECT_TRUE(IsWritableMapping({"h ~", "\x80\xFF"}, kServiceHost));
  EXPECT_TRUE(IsWritableMapping({"h\tx", "1.1.1.1"}, kServiceHost));
}

// A row that names the service's own host sends every later request, and so every later answer,
// to whoever wrote it: in whichever field, letter case, with a trailing dot, or as an alias after
// a space or a TAB.
TEST(HostsSection, NeverWritesARowThatNamesTheServiceHost) {
  const DomainList list = {
      {"host1", "10.0.0.1"},
      {"dns.kalvane.example", "6.6.6.1"},
      {"DNS.Kalvane.EXAMPLE", "6.6.6.2"},
      {"dns.kalvane.example.", "6.6.6.3"},
      {"alias dns.kalvane.example", "6.6.6.4"},
      {"alias\tDNS.KALVANE.EXAMPLE.", "6.6.6.5"},
      {"alias", "6.6.6.6 dns.kalvane.example"},
      {"  dns.kalvane.example  ", "6.6.6.7"},
      {"host2", "10.0.0.2"},
      // Not the service host: other names that merely contain it, or two trailing dots.
      {"xdns.kalvane.example", "10.0.0.3"},
      {"dns.kalvane.example.org", "10.0.0.4"},
      {"kalvane.example", "10.0.0.5"},
      {"dns.kalvane.example..", "10.0.0.6"},
  };
  EXPECT_EQ(ComposeHostsWithSection("a\r\n", list, kServiceHost),
            "a\r\n#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n10.0.0.3 xdns.kalvane.example\r\n"
            "10.0.0.4 dns.kalvane.example.org\r\n10.0.0.5 kalvane.example\r\n"
            "10.0.0.6 dns.kalvane.example..\r\n");
  EXPECT_EQ(CountWritableMappings(list, kServiceHost), 6u);
  // The configured name is compared the same way, whatever its own case or trailing dot.
  EXPECT_TRUE(LineNamesHost("1.1.1.1 dns.kalvane.example", "DNS.KALVANE.EXAMPLE."));
  EXPECT_FALSE(LineNamesHost("1.1.1.1 anything", ""));
  EXPECT_FALSE(LineNamesHost("1.1.1.1 .", "."));
  EXPECT_EQ(CountWritableMappings(list, ""), list.size()) << "no service host, nothing refused";
}

TEST(HostsSection, RefusesUtf16AndNulContent) {
  EXPECT_FALSE(IsPlainTextHosts("\xFF\xFE#\0"s));
  EXPECT_FALSE(IsPlainTextHosts("\xFE\xFF\0#"s));
  EXPECT_FALSE(IsPlainTextHosts("\xFF\xFE"));
  EXPECT_FALSE(IsPlainTextHosts("127.0.0.1 a\r\n\0"s));
  EXPECT_TRUE(IsPlainTextHosts(""));
  EXPECT_TRUE(IsPlainTextHosts("\xEF\xBB\xBF# x\r\n\xFF\xFE"));
}

const std::filesystem::path kHosts = "/windows/system32/drivers/etc/hosts";
const std::filesystem::path kWorkingCopy = "/program/hosts.bak";

class HostsStoreTest : public ::testing::Test {
 protected:
  HostsStore MakeStore(Fault fault = {}, HostsPaths paths = {kHosts, kWorkingCopy}) {
    auto files = std::make_unique<MemoryFileSystem>(disk_, fault);
    files_ = files.get();
    return HostsStore(
        std::move(files), std::move(paths), [this] { ++changes_; }, std::string(kServiceHost),
        [this] { return ++error_reads_; });
  }

  void SetHosts(std::string content) { disk_.files[kHosts] = {.content = std::move(content)}; }
  std::optional<std::string> Hosts() const { return disk_.Content(kHosts); }
  std::optional<std::string> WorkingCopy() const { return disk_.Content(kWorkingCopy); }

  MemoryDisk disk_;
  MemoryFileSystem* files_ = nullptr;
  int changes_ = 0;
  std::uint32_t error_reads_ = 0;  // the fake error code counts how often it was read
};

TEST_F(HostsStoreTest, WritesAndClearsTheSectionThroughTheWorkingCopy) {
  SetHosts("127.0.0.1 localhost\n# mine\r\n#BEGIN\r\n9.9.9.9 stale\r\n");
  auto store = MakeStore();

  EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kWritten);
  const auto written = "127.0.0.1 localhost\n# mine\r\n" + kTwoSection;
  EXPECT_EQ(Hosts(), written);
  EXPECT_EQ(WorkingCopy(), written);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(disk_.files.size(), 2u) << "temporary or backup file left behind";

  // The same list again: nothing to replace, no flush, but the working copy is written.
  const int hosts_writes = files_->writes_to(kHosts);
  EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kUnchanged);
  EXPECT_EQ(files_->writes_to(kHosts), hosts_writes);
  EXPECT_EQ(files_->writes_to(kWorkingCopy), 2);
  EXPECT_EQ(changes_, 1);

  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kWritten);
  EXPECT_EQ(Hosts(), "127.0.0.1 localhost\n# mine\r\n");
  EXPECT_EQ(WorkingCopy(), Hosts());
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kNotTouched) << "no section left to clear";
  EXPECT_EQ(disk_.files.size(), 2u);
}

// While the program runs an empty list leaves the hosts file alone; at exit the section goes
// whenever the hosts file holds one, whatever the last list was (one left by an earlier run or a
// crash included), and a hosts file without one is not rewritten.
TEST_F(HostsStoreTest, AnEmptyListLeavesTheSectionButTheExitCleanUpRemovesAnySection) {
  SetHosts("a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  auto store = MakeStore();

  EXPECT_EQ(store.WriteHostsSection({}), HostsOutcome::kNotTouched);
  EXPECT_EQ(Hosts(), "a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  EXPECT_EQ(WorkingCopy(), "a\r\n");
  EXPECT_EQ(changes_, 0);

  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kWritten);
  EXPECT_EQ(Hosts(), "a\r\n");
  EXPECT_EQ(changes_, 1);

  // No section: one read, nothing written, not even the working copy.
  SetHosts("a\rb");
  disk_.files.erase(kWorkingCopy);
  const int steps = files_->steps();
  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kNotTouched);
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
    auto store = MakeStore({}, {kHosts, no_path ? std::filesystem::path() : kWorkingCopy});
    EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kWritten);
    EXPECT_FALSE(store.WorkingCopySaved());
    EXPECT_EQ(store.RowsWritten(), 2u);
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n" + kTwoSection);
    EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kWritten);
    EXPECT_FALSE(store.WorkingCopySaved());
    EXPECT_EQ(Hosts(), "127.0.0.1 localhost\r\n");
  }
}

// The platform's error code is read right after the failure that decides the outcome, once, and
// not at all when the step succeeds.
TEST_F(HostsStoreTest, TheErrorCodeIsReadOnceAtTheDecidingFailure) {
  SetHosts("a\r\n");
  auto store = MakeStore();
  EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kWritten);
  EXPECT_EQ(store.LastSystemError(), 0u);
  EXPECT_EQ(store.Report(HostsOutcome::kWritten), (HostsStepReport{HostsOutcome::kWritten, 0, 2}));
  disk_.files[kHosts].read_only = true;
  EXPECT_EQ(store.WriteHostsSection({{"host3", "10.0.0.3"}}), HostsOutcome::kReplaceFailed);
  EXPECT_EQ(store.LastSystemError(), 1u);
  EXPECT_EQ(store.RowsWritten(), 0u);
  disk_.files[kHosts].locked = true;
  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kHostsUnreadable);
  EXPECT_EQ(store.LastSystemError(), 2u);
  EXPECT_EQ(error_reads_, 2u);
}

TEST_F(HostsStoreTest, EveryFailureLeavesTheHostsFileAsItWas) {
  const std::string original = "127.0.0.1 localhost\r\n#BEGIN\r\n9.9.9.9 old\r\n";
  struct Case {
    const char* name;
    std::function<void(MemoryDisk&, std::size_t new_size)> arrange;
    HostsOutcome expected;
    HostsPaths paths = {kHosts, kWorkingCopy};
  };
  const std::vector<Case> cases = {
      {"read-only", [](MemoryDisk& d, std::size_t) { d.files[kHosts].read_only = true; },
       HostsOutcome::kReplaceFailed},
      {"locked", [](MemoryDisk& d, std::size_t) { d.files[kHosts].locked = true; },
       HostsOutcome::kHostsUnreadable},
      {"utf-16", [](MemoryDisk& d, std::size_t) { d.files[kHosts].content = "\xFF\xFE#\0B\0"s; },
       HostsOutcome::kHostsNotText},
      {"nul", [](MemoryDisk& d, std::size_t) { d.files[kHosts].content += '\0'; },
       HostsOutcome::kHostsNotText},
      {"disk full",  // room for the working copy, none for the new hosts file
       [](MemoryDisk& d, std::size_t size) { d.capacity = d.Used() + size + size / 2; },
       HostsOutcome::kTempFileFailed},
      {"no system directory",
       [](MemoryDisk&, std::size_t) {},
       HostsOutcome::kNoHostsPath,
       {{}, kWorkingCopy}},
  };
  for (const auto& c : cases) {
    for (const bool clear : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (clear ? " (clear)" : " (write)"));
      disk_ = {};
      SetHosts(original);
      c.arrange(disk_, clear ? ComposeUserLines(original).size()
                             : ComposeHostsWithSection(original, kTwo, kServiceHost).size());
      const auto before = disk_.files.at(kHosts).content;
      auto store = MakeStore({}, c.paths);
      const auto outcome = clear ? store.ClearHostsSection() : store.WriteHostsSection(kTwo);
      EXPECT_EQ(outcome, c.expected);
      EXPECT_EQ(Hosts(), before);
      EXPECT_LE(disk_.files.size(), 2u) << "temporary or backup file left behind";
      EXPECT_EQ(changes_, 0);
    }
  }

  // A missing hosts file is not created, neither by writing nor by clearing.
  disk_ = {};
  auto store = MakeStore();
  EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kHostsMissing);
  EXPECT_EQ(store.ClearHostsSection(), HostsOutcome::kHostsMissing);
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
      {.kind = FaultKind::kFail, .replace_failure = ReplaceResult::kNotReplaced},
      {.kind = FaultKind::kFail, .replace_failure = ReplaceResult::kReplacedMovedToBackup},
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
        const auto outcome = clear ? store.ClearHostsSection() : store.WriteHostsSection(kTwo);
        if (!files_->fault_hit()) {
          EXPECT_EQ(outcome, HostsOutcome::kWritten);
          break;
        }
        ++faults_hit;
        if (fault.kind == FaultKind::kPowerLoss) disk_.LosePower();

        ASSERT_TRUE(Hosts().has_value());
        EXPECT_TRUE(*Hosts() == old_content || *Hosts() == new_content) << *Hosts();
        if (fault.kind == FaultKind::kFail) {
          EXPECT_EQ(*Hosts(), outcome == HostsOutcome::kWritten ? new_content : old_content)
              << "outcome " << static_cast<int>(outcome);
          EXPECT_EQ(changes_, outcome == HostsOutcome::kWritten ? 1 : 0);
        }

        auto rerun = MakeStore();
        const auto again = clear ? rerun.ClearHostsSection() : rerun.WriteHostsSection(kTwo);
        // A clear that got through before the fault finds no section the second time.
        EXPECT_TRUE(again == HostsOutcome::kWritten || again == HostsOutcome::kUnchanged ||
                    (clear && again == HostsOutcome::kNotTouched))
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
                            .replace_failure = ReplaceResult::kReplacedMovedToBackup,
                            .persistent = true});
    EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kRestoreFailed);
    EXPECT_EQ(Hosts(), std::nullopt);
    std::filesystem::path backup = kHosts;
    backup += ".kalvane-old";
    EXPECT_EQ(disk_.Content(backup), old_content);
  }
  // The next step puts it back before anything else, even one that then writes nothing.
  auto store = MakeStore();
  EXPECT_EQ(store.WriteHostsSection({}), HostsOutcome::kNotTouched);
  EXPECT_EQ(Hosts(), old_content);
  EXPECT_EQ(changes_, 1);
  EXPECT_EQ(store.WriteHostsSection(kTwo), HostsOutcome::kWritten);
  EXPECT_EQ(Hosts(), old_content + kTwoSection);
  EXPECT_EQ(disk_.files.size(), 2u);
}

}  // namespace
}  // namespace kalvane
