#include "app/update_controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "account/account_form.h"
#include "account/settings_file.h"
#include "fake_account_controls.h"
#include "iconv_code_page.h"
#include "md5_reference.h"
#include "memory_file_system.h"
#include "scripted_pump.h"
#include "status/status_line.h"
#include "sync/update_cycle.h"

namespace kalvane {
namespace {

const std::string kConfirmedAnswer = "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>END</p>";

// The window and a cycle's collaborators in one: each request runs `during_cycle` (events
// delivered while it waits) and is answered, or fails when `fail` is set.
class FakeHost final : public UpdateControllerHost,
                       public UpdateObserver,
                       public PageFetch,
                       public HostsWriter,
                       public AccountSource {
 public:
  // UpdateControllerHost, UpdateObserver
  void DestroyMainWindow() override { ++destroys; }
  void OnCycleEnded(const CycleReport& report) override { shown.push_back(report.Result()); }
  void OnCleanUp(const HostsOutcome&) override {
    ++clean_ups;
    restore_stopped_before_clean_up = restore != nullptr && restore->Stopped();
  }

  // PageFetch, HostsWriter, AccountSource
  Result<HttpAnswer> Get(std::string_view) override {
    ++requests;
    if (during_cycle) std::exchange(during_cycle, nullptr)();
    if (fail) return Status::Failure(StatusKind::kTimedOut);
    if (reply) return *reply;
    return HttpAnswer::Taken(answer);
  }
  void Cancel() override {}
  HostsOutcome WriteHostsSection(const SharedDomainList& mappings) noexcept override {
    hosts = "#BEGIN\r\n";
    for (const DomainMapping& row : *mappings) hosts += row.address + " " + row.host + "\r\n";
    ++writes;
    return HostsOutcome::Done(HostsStep::kWritten, mappings);
  }
  HostsOutcome ClearHostsSection() noexcept override { return {}; }
  Result<std::string> ReadHostsFile() noexcept override { return hosts; }
  AccountBoxes Current() const override { return account; }

  std::function<void()> during_cycle;
  std::optional<Result<HttpAnswer>> reply;  // instead of `answer`
  AccountBoxes account;
  std::string answer = kConfirmedAnswer;
  std::string hosts;
  int writes = 0;
  const SectionRestore* restore = nullptr;
  bool restore_stopped_before_clean_up = false;
  bool fail = false;
  int requests = 0;
  int clean_ups = 0;
  int destroys = 0;
  std::vector<UpdateResult> shown;
};

const testing::IconvCodePage kAscii("ASCII");

struct Rig {
  Rig() { host.restore = &restore; }

  FakeHost host;
  testing::ScriptedPump clock;
  UpdateCycle cycle{host, host, kAscii};
  SectionRestore restore{host};
  UpdateController controller{cycle, host, restore, host, host, clock};
};

TEST(UpdateController, StartUpRunsOneCycleAndShowsItsResult) {
  Rig rig;
  FakeHost& host = rig.host;
  UpdateController& controller = rig.controller;
  EXPECT_FALSE(controller.Live());
  host.fail = true;
  EXPECT_TRUE(controller.StartUp());
  EXPECT_TRUE(controller.Live());
  EXPECT_EQ(host.requests, kMaxAttempts) << "one cycle of three attempts";
  EXPECT_EQ(host.shown, std::vector<UpdateResult>{UpdateResult::kTransferFailed});
}

// An answer is an answer: whatever came back ends the quick retries, and the status says what it
// was. Only a cycle that got none is retried soon, and only it says the server was not reached.
TEST(UpdateController, OnlyACycleThatGotNoAnswerIsRetriedSoon) {
  using enum AnswerFault;
  struct Case {
    const char* what;
    Result<HttpAnswer> reply;
    bool retried;
    std::u16string status;
  };
  const Case cases[] = {
      {"no connection", Status::Failure(StatusKind::kFailed, 10061), true,
       u"无法连接服务器：连接被拒绝"},
      {"no response", Status::Failure(StatusKind::kTimedOut), true, u"无法连接服务器：连接超时"},
      {"HTTP 500", HttpAnswer::Refused({kErrorStatus, 500}), false, u"服务器返回错误（HTTP 500）"},
      {"HTTP/1.0", HttpAnswer::Refused({kOtherVersion}), false, u"服务器的回答不是 HTTP/1.1"},
      {"no length", HttpAnswer::Refused({kNoLength}), false,
       u"服务器的回答没有长度（Content-Length）"},
      {"unconfirmed", HttpAnswer::Taken("<p>BEGIN</p>\r\n<p>END</p>"), false, u"账号未确认"},
      {"success", HttpAnswer::Taken(kConfirmedAnswer), false, u"已更新 0 条映射"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Rig rig;
    rig.host.account = {true, u"example.com", Password::Typed(u"p")};
    rig.host.reply = c.reply;
    ASSERT_TRUE(rig.controller.StartUp());
    // A refused answer is a failed attempt all the same: three of them.
    EXPECT_EQ(rig.host.requests, c.reply && c.reply->verdict.fault == kNone ? 1 : kMaxAttempts);
    EXPECT_EQ(rig.controller.NextCycle().quick_retry, c.retried);
    EXPECT_EQ(OutcomeText(rig.cycle.LastReport()), c.status);
  }
}

TEST(UpdateController, SavesDuringACycleMergeIntoOneMoreAndADueRefreshIsSkipped) {
  Rig rig;
  FakeHost& host = rig.host;
  UpdateController& controller = rig.controller;
  ASSERT_TRUE(controller.StartUp());
  host.during_cycle = [&] {
    controller.OnSaved();
    controller.OnSaved();
    for (int tick = 0; tick <= kRefreshThreshold; ++tick) controller.OnRefreshTick();
  };
  controller.OnSaved();
  EXPECT_EQ(host.requests, 3) << "start-up, the Save, and one merged Save; no timed refresh";
  EXPECT_EQ(host.shown.size(), 3u);

  for (int tick = 0; tick < kRefreshThreshold; ++tick) controller.OnRefreshTick();
  EXPECT_EQ(host.requests, 3);
  controller.OnRefreshTick();
  EXPECT_EQ(host.requests, 4) << "the 301st tick";
}

TEST(UpdateController, ClosingDuringACycleCleansUpAtOnceAndDestroysAfterIt) {
  Rig rig;
  FakeHost& host = rig.host;
  UpdateController& controller = rig.controller;
  host.during_cycle = [&] {
    controller.OnSaved();
    controller.Close();
    EXPECT_EQ(host.clean_ups, 1) << "clean-up does not wait for the cycle";
    EXPECT_EQ(host.destroys, 0) << "the waiting cycle unwinds first";
    controller.Close();
  };
  EXPECT_FALSE(controller.StartUp()) << "a window closed during start-up is never shown";
  EXPECT_EQ(host.requests, 1) << "the merged Save does not run after closing";
  EXPECT_TRUE(host.shown.empty()) << "no result is shown after the clean-up";
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 1);

  controller.OnSaved();
  controller.OnRefreshTick();
  controller.Close();
  EXPECT_EQ(host.requests, 1);
  EXPECT_EQ(host.destroys, 1);
}

TEST(UpdateController, SessionEndCleansUpOnceAndLeavesTheWindow) {
  Rig rig;
  FakeHost& host = rig.host;
  UpdateController& controller = rig.controller;
  ASSERT_TRUE(controller.StartUp());
  controller.EndSession(false);
  EXPECT_EQ(host.clean_ups, 0) << "a session end that was cancelled changes nothing";
  controller.EndSession(true);
  controller.EndSession(true);
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 0);
  EXPECT_FALSE(controller.Live());
  controller.OnSaved();
  EXPECT_EQ(host.requests, 1) << "no cycle after the clean-up";
  controller.Close();
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 1);
}

// Log-off while start-up's cycle waits: the clean-up runs then, and the window never goes live (a
// second start cannot bring it to the front). Closing afterwards destroys it without a second
// clean-up.
TEST(UpdateController, ASessionEndDuringStartUpsCycleKeepsTheWindowFromGoingLive) {
  Rig rig;
  FakeHost& host = rig.host;
  UpdateController& controller = rig.controller;
  host.during_cycle = [&] {
    controller.EndSession(true);
    EXPECT_EQ(host.clean_ups, 1) << "the clean-up does not wait for the cycle";
  };
  EXPECT_FALSE(controller.StartUp()) << "the window is not to be shown";
  EXPECT_FALSE(controller.Live());
  EXPECT_TRUE(host.shown.empty()) << "no result is shown after the clean-up";
  EXPECT_EQ(host.destroys, 0) << "the window stays until it is closed";

  controller.EndSession(true);
  controller.OnRefreshTick();
  controller.Close();
  EXPECT_EQ(host.clean_ups, 1);
  EXPECT_EQ(host.destroys, 1);
  EXPECT_EQ(host.requests, 1);
}

// One second of the window's life: the clock moves on, then the refresh timer ticks.
void Tick(Rig& rig, int seconds = 1) {
  for (int second = 0; second < seconds; ++second) {
    rig.clock.PumpUntil(rig.clock.Now() + std::chrono::seconds(1));
    rig.controller.OnRefreshTick();
  }
}

// A start-up without network is retried after 10 s and again 20 s later; the retry that is
// answered ends the quick retries, and only the regular refresh follows.
TEST(UpdateController, ACycleWithoutAnswerIsRetriedWithinSecondsUntilOneIsAnswered) {
  Rig rig;
  FakeHost& host = rig.host;
  host.fail = true;
  ASSERT_TRUE(rig.controller.StartUp());
  Tick(rig, 9);
  EXPECT_EQ(host.requests, kMaxAttempts);
  Tick(rig);
  EXPECT_EQ(host.requests, 2 * kMaxAttempts) << "the first quick retry, 10 s on";
  host.fail = false;
  Tick(rig, 19);
  EXPECT_EQ(host.requests, 2 * kMaxAttempts);
  Tick(rig);
  EXPECT_EQ(host.requests, 2 * kMaxAttempts + 1) << "the second, 20 s later, answered";
  Tick(rig, kRefreshThreshold - 30);
  EXPECT_EQ(host.requests, 2 * kMaxAttempts + 1) << "no retry after an answer";
  Tick(rig);
  EXPECT_EQ(host.requests, 2 * kMaxAttempts + 2) << "the regular refresh keeps its rhythm";
}

// The controller keeps the restore in step with the cycles: it learns the rows each cycle wrote,
// a pause of restoring lasts until the next regular refresh (a Save does not end it), and closing
// stops restoring before the clean-up changes the hosts file.
TEST(UpdateController, RestoringFollowsTheCyclesAndStopsBeforeTheCleanUp) {
  Rig rig;
  FakeHost& host = rig.host;
  host.answer = "<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>h1&nbsp;10.0.0.1</p>\r\n<p>END</p>";
  const auto settle = [&] { return rig.restore.OnHostsSettled(rig.clock.Now()); };
  ASSERT_TRUE(rig.controller.StartUp());
  ASSERT_EQ(host.writes, 1);
  host.hosts = "127.0.0.1 localhost\r\n";
  ASSERT_NE(settle(), std::nullopt) << "the rows start-up's cycle wrote are kept";
  EXPECT_EQ(host.hosts, "#BEGIN\r\n10.0.0.1 h1\r\n");

  // Reset again and again: the fourth time within ten minutes pauses restoring.
  std::optional<RestoreReport> last;
  for (int reset = 0; reset < kMaxRestores; ++reset) {
    host.hosts.clear();
    last = settle();
  }
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->decision, GuardDecision::kPaused);
  rig.controller.OnSaved();
  host.hosts.clear();
  const int writes = host.writes;
  EXPECT_EQ(settle(), std::nullopt);
  EXPECT_EQ(host.writes, writes) << "still paused after a Save";
  Tick(rig, kRefreshThreshold + 1);
  host.hosts.clear();
  EXPECT_NE(settle(), std::nullopt);
  EXPECT_EQ(host.writes, writes + 2) << "the regular refresh wrote, and restoring resumed";

  rig.controller.Close();
  EXPECT_TRUE(host.restore_stopped_before_clean_up);
  host.hosts.clear();
  EXPECT_EQ(settle(), std::nullopt);
  EXPECT_EQ(host.writes, writes + 2) << "nothing is restored once closing";
}

// ---- The account form, the cycle and the controller together, in the orders a user can make.

namespace cycle_rig {

using testing::IconvCodePage;
using testing::MemoryDisk;
using testing::MemoryFileSystem;

const IconvCodePage kCp1252("CP1252");
const FilePath kSettings = L"/app/abc.txt";
constexpr std::string_view kPwd = "&pwd=";

std::string Md5(std::u16string_view ascii) {
  return testing::OpenSslDigestText(std::string(ascii.begin(), ascii.end()));
}

bool IsUpperHexDigest(std::string_view text) {
  return text.size() == 32 && std::ranges::all_of(text, [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

// The window as the form, the cycle and the controller see it. The password box reports every
// change at once, as an edit control does while its text is set; each request runs the events
// scripted for its wait, which may start anything a user or a timer can.
class Window final : public testing::FakeAccountControls,
                     public PageFetch,
                     public HostsWriter,
                     public UpdateObserver,
                     public UpdateControllerHost {
 public:
  Window() {
    form_to_notify = &form;
    updating = true;
    domain = u"example.com";
  }

  // PageFetch, HostsWriter
  Result<HttpAnswer> Get(std::string_view path) override {
    paths.emplace_back(path);
    if (!during_wait.empty()) {
      auto events = std::move(during_wait.front());
      during_wait.pop_front();
      for (auto& event : events) event();
    }
    return HttpAnswer::Taken("<p>OK</p>\r\n<p>BEGIN</p>\r\n<p>END</p>");
  }
  void Cancel() override {}
  HostsOutcome WriteHostsSection(const SharedDomainList&) noexcept override { return {}; }
  HostsOutcome ClearHostsSection() noexcept override { return {}; }
  Result<std::string> ReadHostsFile() noexcept override { return std::string(); }

  // UpdateObserver, UpdateControllerHost
  void OnCycleEnded(const CycleReport&) override {}
  void OnCleanUp(const HostsOutcome&) override {}
  void DestroyMainWindow() override {}

  // What the user and the timer do.
  void Type(std::u16string_view text) {
    SetPassword(text);
    typed.emplace_back(text);
  }
  void ClickSave() {
    form.Save();
    controller.OnSaved();
  }
  void RefreshFallsDue() {
    for (int tick = 0; tick <= kRefreshThreshold; ++tick) controller.OnRefreshTick();
  }

  // Every password that went out.
  std::vector<std::string> SentPasswords() const {
    std::vector<std::string> sent;
    for (const auto& path : paths) {
      const auto at = path.find(kPwd);
      if (at != std::string::npos) sent.push_back(path.substr(at + kPwd.size()));
    }
    return sent;
  }

  MemoryDisk disk;
  MemoryFileSystem files{disk};
  SettingsFile settings{files, kSettings};
  AccountForm form{*this, settings, kCp1252};
  testing::ScriptedPump clock;
  UpdateCycle cycle{*this, *this, kCp1252};
  SectionRestore restore{*this};
  UpdateController controller{cycle, form, restore, *this, *this, clock};

  std::vector<std::u16string> typed;
  std::deque<std::vector<std::function<void()>>> during_wait;
  std::vector<std::string> paths;
};

// The faulty order: Save pressed twice quickly (the second press lands while the first one's
// cycle waits, with a due refresh), then the password changed while the cycle of the second press
// waits. The next request digests what the box holds.
TEST(AccountCycles, APasswordChangedWhileASaveCycleWaitsIsDigestedNextTime) {
  Window window;
  ASSERT_TRUE(window.controller.StartUp());
  window.Type(u"first secret");
  window.during_wait.push_back({[&] { window.ClickSave(); }, [&] { window.RefreshFallsDue(); }});
  window.during_wait.push_back({[&] { window.Type(u"second secret"); }});
  window.ClickSave();
  EXPECT_FALSE(window.form.PasswordIsDigest()) << "the box holds typed text";
  window.RefreshFallsDue();

  // Start-up (no password yet), the first Save, the second merged into one more cycle (the due
  // refresh skipped), and the next timed refresh.
  EXPECT_EQ(window.SentPasswords(),
            (std::vector<std::string>{Md5(u""), Md5(u"first secret"), Md5(u"first secret"),
                                      Md5(u"second secret")}));
  EXPECT_EQ(window.disk.Content(kSettings),
            "True\r\nexample.com\r\n" + Md5(u"first secret") + "\r\n");
}

// A loaded account keeps its digest until the user types; a tick during the cycle changes nothing.
TEST(AccountCycles, ALoadedDigestIsSentAsItIsUntilTheUserTypes) {
  Window window;
  const std::string digest = Md5(u"stored");
  window.disk.files[kSettings].content = "True\r\nexample.com\r\n" + digest + "\r\n";
  window.form.Load();
  window.during_wait.push_back({[&] { window.RefreshFallsDue(); }, [&] { window.Type(u"x"); }});
  ASSERT_TRUE(window.controller.StartUp());
  window.RefreshFallsDue();
  EXPECT_EQ(window.SentPasswords(), (std::vector<std::string>{digest, Md5(u"x")}));
}

// Random orders of typing, Save, due refreshes and ticking the box, each at the top or inside a
// waiting cycle (nested up to the one cycle at a time): every pwd sent is a digest text, and none
// is a text the user typed.
TEST(AccountCycles, NoOrderOfEventsSendsAnythingButADigest) {
  for (unsigned seed = 1; seed <= 300; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    Window window;
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    int next_text = 0;
    std::function<void()> event = [&] {
      switch (pick(6)) {
        case 0: {
          // Typed text, sometimes shaped like a digest.
          const bool digest_like = pick(3) == 0;
          std::u16string text;
          if (digest_like) {
            for (char c : Md5(u"t" + std::u16string(1, static_cast<char16_t>(u'a' + next_text))))
              text.push_back(static_cast<char16_t>(c));
          } else {
            text = u"typed " + std::u16string(1, static_cast<char16_t>(u'a' + next_text % 26));
          }
          ++next_text;
          window.Type(text);
          break;
        }
        case 1:
          window.ClickSave();
          break;
        case 2:
          window.RefreshFallsDue();
          break;
        case 3:
          window.updating = !window.updating;
          break;
        case 4:
          window.Type(u"");
          break;
        default:
          window.form.Load();
          break;
      }
    };
    for (int wait = 0; wait < 20; ++wait) {
      std::vector<std::function<void()>> events;
      for (int n = pick(4); n > 0; --n) events.push_back(event);
      window.during_wait.push_back(std::move(events));
    }
    ASSERT_TRUE(window.controller.StartUp());
    for (int step = 0; step < 12; ++step) event();

    for (const auto& pwd : window.SentPasswords()) {
      EXPECT_TRUE(IsUpperHexDigest(pwd)) << pwd;
      for (const auto& text : window.typed) {
        EXPECT_NE(pwd, std::string(text.begin(), text.end())) << "typed text sent in clear";
      }
    }
  }
}

}  // namespace cycle_rig

}  // namespace
}  // namespace kalvane
