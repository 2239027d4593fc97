#pragma once

#include "account/password.h"
#include "app/cycle_timing.h"
#include "base/event_pump.h"
#include "status/status_journal.h"
#include "sync/hosts_store.h"
#include "sync/update_cycle.h"

namespace kalvane {

// What the controller asks of the window it runs in: showing outcomes, and going.
class UpdateControllerHost {
 public:
  virtual ~UpdateControllerHost() = default;
  // A cycle ended (and the window is not closing): its outcome is to be shown.
  virtual void ShowUpdateStatus(const CycleReport& report) = 0;
  // A look at a hosts file that another program changed restored the section or paused.
  virtual void ShowRestore(const RestoreReport& report) = 0;
  // Closing begins: the watch on the hosts file ends before the clean-up changes the file.
  virtual void StopWatchingHosts() = 0;
  // The exit clean-up ran: the hosts section is gone, or the report says why not.
  virtual void ShowCleanUp(const HostsOutcome& report) = 0;
  virtual void DestroyMainWindow() = 0;
};

// When update cycles run (CycleTiming, cycle_timing.h, decides), and the window's life from
// start-up to its destruction. Each cycle takes the account as `account` holds it at that moment.
// One cycle at a time: a timed refresh that falls due while one waits is skipped, and a Save
// during a cycle is merged into one more cycle right after it. Closing cleans up at once (the
// cycle ends and the hosts section goes); a window closed while a cycle waits is destroyed when
// that cycle has unwound. `clock` is the monotonic time of the window thread's waits.
class UpdateController {
 public:
  UpdateController(UpdateCycle& cycle, const AccountSource& account, UpdateControllerHost& host,
                   const EventPump& clock)
      : cycle_(cycle), account_(account), host_(host), clock_(clock), timing_(clock.Now()) {}
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  // Start-up's cycle, before the window is first shown. False when the window was closed
  // meanwhile and must not be shown.
  bool StartUp();
  // The account was saved, or the user asked for an update: a cycle now, or right after the one
  // that waits.
  void OnSaved();
  void OnUpdateNow() { OnSaved(); }
  // One tick of the one-second refresh timer: the regular refresh, a quick retry after a cycle
  // that got no answer, or the cycle for a wake or a network that came up, once settled.
  void OnRefreshTick();
  // The machine woke from sleep; a network interface came up or got an address.
  void OnWake();
  void OnNetworkUp();
  // The hosts file changed and its folder has been quiet for a moment since.
  void OnHostsSettled();
  // The window is asked to close (close box, tray menu, a close request).
  void Close();
  // The session ends; the process may be ended as soon as this returns.
  void EndSession(bool ending);

  // Started up and not closing: the window may be brought to the front.
  bool Live() const { return phase_ == Phase::kLive; }
  bool CycleRunning() const { return timing_.CycleRunning(); }
  // The next cycle that starts by itself, and when.
  NextDue NextCycle() const {
    const CycleTiming::NextCycle next = timing_.Next();
    return {next.due, next.trigger == CycleTrigger::kQuickRetry};
  }

 private:
  enum class Phase {
    kStarting,        // start-up's cycle has not ended
    kLive,            // shown or in the tray
    kCleanedUp,       // the clean-up ran (session end); the window stays until it is closed
    kDestroyPending,  // closed while a cycle waits: destroyed when it unwinds
    kDestroyed,
  };

  // The clean-up has run: nothing may touch the hosts file any more.
  bool Closing() const { return phase_ >= Phase::kCleanedUp; }
  MonotonicClock::time_point Now() const { return clock_.Now(); }
  // Runs `trigger`'s cycle and those that are due right after it.
  void RunCycles(CycleTrigger trigger);
  void CleanUpOnce();

  UpdateCycle& cycle_;
  const AccountSource& account_;
  UpdateControllerHost& host_;
  const EventPump& clock_;
  CycleTiming timing_;
  Phase phase_ = Phase::kStarting;
};

}  // namespace kalvane
