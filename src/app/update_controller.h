#pragma once

#include "account/password.h"
#include "app/cycle_timing.h"
#include "base/event_pump.h"
#include "status/status_journal.h"
#include "sync/hosts_store.h"
#include "sync/section_restore.h"
#include "sync/update_cycle.h"

namespace kalvane {

// What only the window the controller runs in can do: go.
class UpdateControllerHost {
 public:
  virtual ~UpdateControllerHost() = default;
  virtual void DestroyMainWindow() = 0;
};

// When update cycles run (CycleTiming, cycle_timing.h, decides), and the window's life from
// start-up to its destruction. Each cycle takes the account as `account` holds it at that moment.
// One cycle at a time: a timed refresh that falls due while one waits is skipped, and a Save
// during a cycle is merged into one more cycle right after it. Closing cleans up at once (the
// cycle ends and the hosts section goes); a window closed while a cycle waits is destroyed when
// that cycle has unwound. `clock` is the monotonic time of the window thread's waits. Each cycle's
// outcome goes to `observer`; `restore` learns of each hosts step, of each regular refresh and of
// closing (restoring stops before the clean-up changes the hosts file).
class UpdateController {
 public:
  UpdateController(UpdateCycle& cycle, const AccountSource& account, SectionRestore& restore,
                   UpdateObserver& observer, UpdateControllerHost& host, const EventPump& clock)
      : cycle_(cycle),
        account_(account),
        restore_(restore),
        observer_(observer),
        host_(host),
        clock_(clock),
        timing_(clock.Now()) {}
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
  SectionRestore& restore_;
  UpdateObserver& observer_;
  UpdateControllerHost& host_;
  const EventPump& clock_;
  CycleTiming timing_;
  Phase phase_ = Phase::kStarting;
};

}  // namespace kalvane
