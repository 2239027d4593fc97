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
  EXPECT_EQ(ComposeHostsWithSection("127.0.0.1 localhost\r\n::1 localhost", kTwo),
            "127.0.0.1 localhost\r\n::1 localhost\r\n" + kTwoSection);
  // An empty hosts file becomes the marker and the two mapping lines.
  EXPECT_EQ(ComposeHostsWithSection("", kTwo), kTwoSection);
  // Only the exact line is a marker.
  EXPECT_EQ(ComposeHostsWithSection(" #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n", kTwo),
            " #BEGIN\r\n#BEGIN \r\n#begin\r\n#BEGIN#\r\n" + kTwoSection);
  // The first of two markers ends the user's part; lines below the section are dropped.
  EXPECT_EQ(ComposeHostsWithSection("a\r\n#BEGIN\r\n1.1.1.1 old\r\n#BEGIN\r\nmine\r\n", kTwo),
            "a\r\n" + kTwoSection);
  // Lone CRs become CR LF; a lone LF stays inside its line, so "x\n#BEGIN" is no marker line.
  EXPECT_EQ(ComposeHostsWithSection("a\rb\nc\r\nx\n#BEGIN\r", kTwo),
            "a\r\nb\nc\r\nx\n#BEGIN\r\n" + kTwoSection);
  // Bytes are carried over as they are: a UTF-8 BOM stays first, ANSI text stays unchanged.
  EXPECT_EQ(ComposeHostsWithSection("\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n", kTwo),
            "\xEF\xBB\xBF# \xC4\xE3\xBA\xC3\r\n\t1.2.3.4 x \r\n" + kTwoSection);
  // A non-empty list whose mappings are all refused still gets its marker.
  EXPECT_EQ(ComposeHostsWithSection("a", {{"bad\n", "1.1.1.1"}}), "a\r\n#BEGIN\r\n");
}

TEST(HostsSection, UserLinesAloneCutTheSectionOut) {
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
      {"tab\there", "10.0.0.3"},
      {"lf", "10.0.0.4\n"},
      {"nul"s + '\0', "10.0.0.5"},
      {"del\x7F", "10.0.0.6"},
      {"unit\x1F", "10.0.0.7"},
      {"spaced host", " 10.0.0.8"},
      {"\xC4\xE3.example", "10.0.0.9"},
  };
  EXPECT_EQ(ComposeHostsWithSection("", list),
            "#BEGIN\r\n10.0.0.1 good\r\n 10.0.0.8 spaced host\r\n10.0.0.9 \xC4\xE3.example\r\n");
  EXPECT_FALSE(IsWritableMapping({"h", "\x01"}));
  EXPECT_TRUE(IsWritableMapping({"h ~", "\x80\xFF"}));
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
    return HostsStore(std::move(files), std::move(paths), [this] { ++changes_; });
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

  EXPECT_EQ(store.ClearHostsSection(kTwo), HostsOutcome::kWritten);
  EXPECT_EQ(Hosts(), "127.0.0.1 localhost\n# mine\r\n");
  EXPECT_EQ(WorkingCopy(), Hosts());
  EXPECT_EQ(changes_, 2);
  EXPECT_EQ(store.ClearHostsSection(kTwo), HostsOutcome::kUnchanged);
  EXPECT_EQ(disk_.files.size(), 2u);
}

TEST_F(HostsStoreTest, AnEmptyListLeavesTheHostsFileAndItsSectionAlone) {
  SetHosts("a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  auto store = MakeStore();

  EXPECT_EQ(store.WriteHostsSection({}), HostsOutcome::kNotTouched);
  EXPECT_EQ(Hosts(), "a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  EXPECT_EQ(WorkingCopy(), "a\r\n");

  disk_.files.erase(kWorkingCopy);
  EXPECT_EQ(store.ClearHostsSection({}), HostsOutcome::kNotTouched);
  EXPECT_EQ(Hosts(), "a\r\n#BEGIN\r\n9.9.9.9 earlier\r\n");
  EXPECT_EQ(WorkingCopy(), std::nullopt);
  EXPECT_EQ(files_->steps(), 2) << "the clean-up touched a file";
  EXPECT_EQ(changes_, 0);
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
      {"no program folder",
       [](MemoryDisk& d, std::size_t) { d.missing_folders.insert(kWorkingCopy.parent_path()); },
       HostsOutcome::kWorkingCopyFailed},
      {"read-only working copy",
       [](MemoryDisk& d, std::size_t) { d.files[kWorkingCopy].read_only = true; },
       HostsOutcome::kWorkingCopyFailed},
      {"disk full",  // room for the working copy, none for the new hosts file
       [](MemoryDisk& d, std::size_t size) { d.capacity = d.Used() + size + size / 2; },
       HostsOutcome::kTempFileFailed},
      {"no system directory",
       [](MemoryDisk&, std::size_t) {},
       HostsOutcome::kNoHostsPath,
       {{}, kWorkingCopy}},
      {"no program path",
       [](MemoryDisk&, std::size_t) {},
       HostsOutcome::kWorkingCopyFailed,
       {kHosts, {}}},
  };
  for (const auto& c : cases) {
    for (const bool clear : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (clear ? " (clear)" : " (write)"));
      disk_ = {};
      SetHosts(original);
      c.arrange(disk_, clear ? ComposeUserLines(original).size()
                             : ComposeHostsWithSection(original, kTwo).size());
      const auto before = disk_.files.at(kHosts).content;
      auto store = MakeStore({}, c.paths);
      const auto outcome = clear ? store.ClearHostsSection(kTwo) : store.WriteHostsSection(kTwo);
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
  EXPECT_EQ(store.ClearHostsSection(kTwo), HostsOutcome::kHostsMissing);
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
        const auto outcome = clear ? store.ClearHostsSection(kTwo) : store.WriteHostsSection(kTwo);
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
        const auto again = clear ? rerun.ClearHostsSection(kTwo) : rerun.WriteHostsSection(kTwo);
        EXPECT_TRUE(again == HostsOutcome::kWritten || again == HostsOutcome::kUnchanged);
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
