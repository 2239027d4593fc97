#pragma once

// The balloons of the tray icon (balloon_rule.h) on screen, switched on and off by the tray
// menu's "通知" and remembered per user (balloon_setting-win32.h).

#include <string_view>

#include "base/event_pump.h"
#include "status/balloon_rule.h"
#include "tray/tray_icon-win32.h"

namespace kalvane {

class BalloonNotice {
 public:
  // The tray stays owned by the caller and must outlive this object.
  explicit BalloonNotice(TrayIcon& tray);
  BalloonNotice(const BalloonNotice&) = delete;
  BalloonNotice& operator=(const BalloonNotice&) = delete;

  // An outcome in `condition`, in the status window's `words`; a change is told at once when
  // the rule allows it.
  void Observe(UpdateCondition condition, std::u16string_view words);
  // Once a second: a change that had to wait, or that found no icon to show it from (the window
  // shown, Explorer restarting), is told when it may be.
  void OnTick();

  bool On() const { return on_; }
  // "通知": turns the balloons off or on and keeps the choice.
  void Toggle();

 private:
  void TellDue();

  TrayIcon& tray_;
  BalloonRule rule_;
  bool on_;
};

}  // namespace kalvane
