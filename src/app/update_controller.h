#pragma once

#include "md5/password.h"
#include "sync/hosts_store.h"
#include "sync/refresh_schedule.h"
#include "sync/update_cycle.h"

namespace kalvane {

// What the controller asks of the window it runs in: showing outcomes, and going.
class UpdateControllerHost {
 public:
  virtual ~UpdateControllerHost() = default;
  // A cycle ended (and the window is not closing): its outcome is to be shown.
  virtual void ShowUpdateStatus(const CycleReport& report) = 0;
  // The exit clean-up ran: the hosts section is gone, or the report says why not.
  virtual void ShowCleanUp(const HostsStepReport& report) = 0;
  virtual void DestroyMainWindow() = 0;
};

// When update cycles run, and the window's life from start-up to its destruction. Each cycle takes
// the account as `account` holds it at that moment. One cycle at a time: a timed refresh that
// falls due while one waits is skipped, and a Save during a cycle is merged into one more cycle
// right after it. Closing cleans up at once (the cycle ends and the hosts section goes); a window
// closed while a cycle waits is destroyed when that cycle has unwound.
class UpdateController {
 public:
  UpdateController(UpdateCycle& cycle, const AccountSource& account, UpdateControllerHost& host)
      : cycle_(cycle), account_(account), host_(host) {}
  UpdateController(const UpdateController&) = delete;
  UpdateController& operator=(const UpdateController&) = delete;

  // Start-up's cycle, before the window is first shown. False when the window was closed
  // meanwhile and must not be shown.
  bool StartUp();
  // The account was saved: update now, or right after the cycle that waits.
  void OnSaved();
  // One tick of the one-second refresh timer.
  void OnRefreshTick();
  // The window is asked to close (close box, tray menu, a close request).
  void Close();
  // The session ends; the process may be ended as soon as this returns.
  void EndSession(bool ending);

  // Started up and not closing: the window may be brought to the front.
  bool Live() const { return phase_ == Phase::kLive; }

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
  void RunCycles();
  void CleanUpOnce();

  UpdateCycle& cycle_;
  const AccountSource& account_;
  UpdateControllerHost& host_;
  RefreshSchedule schedule_;
  Phase phase_ = Phase::kStarting;
  bool cycle_running_ = false;
  bool save_pending_ = false;
};

}  // namespace kalvane
