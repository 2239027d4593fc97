#pragma once

#include <optional>

#include "account/account_form.h"
#include "base/ansi_code_page.h"
#include "base/update_result.h"
#include "sync/refresh_schedule.h"
#include "sync/update_cycle.h"

namespace kalvane {

// One update cycle with the account as the form holds it at this moment: the domain in the ANSI
// code page, the password as its digest text (see BuildRequestPath). Nothing when a cycle is
// running already.
std::optional<UpdateResult> RunAccountCycle(UpdateCycle& cycle, const AccountForm& form,
                                            const AnsiCodePage& code_page);

// What the controller asks of the window it runs in.
class UpdateControllerHost {
 public:
  virtual ~UpdateControllerHost() = default;
  // Runs one update cycle with the account as the window holds it now; events go on being
  // delivered while it waits. Nothing when no cycle could start.
  virtual std::optional<UpdateResult> RunUpdateCycle() = 0;
  virtual void ShowUpdateStatus(UpdateResult result) = 0;
  // The shutdown clean-up: ends a waiting transfer and removes the hosts section.
  virtual void CleanUp() = 0;
  virtual void DestroyWindow() = 0;
};

// When update cycles run, and the window's life from start-up to its destruction. One cycle at a
// time: a timed refresh that falls due while one waits is skipped, and a Save during a cycle is
// merged into one more cycle right after it. Closing cleans up at once; a window closed while a
// cycle waits is destroyed when that cycle has unwound.
class UpdateController {
 public:
  explicit UpdateController(UpdateControllerHost& host) : host_(host) {}
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

  // The clean-up has run: nothing may touch the hosts file any more.
  bool Closing() const { return phase_ >= Phase::kCleanedUp; }
  // Started up and not closing: the window may be brought to the front.
  bool Live() const { return phase_ == Phase::kLive; }
  bool CycleRunning() const { return cycle_running_; }
  const RefreshSchedule& Schedule() const { return schedule_; }

 private:
  enum class Phase {
    kStarting,        // start-up's cycle has not ended
    kLive,            // shown or in the tray
    kCleanedUp,       // the clean-up ran (session end); the window stays until it is closed
    kDestroyPending,  // closed while a cycle waits: destroyed when it unwinds
    kDestroyed,
  };

  void RunCycles();
  void CleanUpOnce();

  UpdateControllerHost& host_;
  RefreshSchedule schedule_;
  Phase phase_ = Phase::kStarting;
  bool cycle_running_ = false;
  bool save_pending_ = false;
};

}  // namespace kalvane
