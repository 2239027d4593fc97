#pragma once

#include <windows.h>

#include "tray/status_icon.h"
#include "tray/tray_icon-win32.h"
#include "tray/window_timer-win32.h"

namespace kalvane {

// The status rule bound to the tray icon, the two icon pictures and the blink timer `Timer2`.
// The window routes WM_TIMER with kTimer2Id to Timer2_Timer and every cycle's result to
// ShowUpdateStatus.
class TrayStatus {
 public:
  // Writes `picture1` into the tray record (the icon of start-up) and starts `Timer2` on
  // `window`. The icons stay owned by the caller and must outlive this object.
  TrayStatus(TrayIcon& tray, HWND window, HICON picture1, HICON picture2);
  TrayStatus(const TrayStatus&) = delete;
  TrayStatus& operator=(const TrayStatus&) = delete;

  // Shows one cycle's result: steady `Picture1` (0), steady `Picture2` (2), else blinking that
  // starts one full interval later.
  void ShowUpdateStatus(int result);
  // One tick of `Timer2`.
  void Timer2_Timer();

  int LastUpdateResult() const { return rule_.LastUpdateResult(); }
  bool BlinkEnabled() const { return rule_.BlinkEnabled(); }

 private:
  void SetStatusIcon(IconChoice picture);

  TrayIcon& tray_;
  HICON picture1_;
  HICON picture2_;
  StatusIcon rule_;
  WindowTimer timer2_;
};

}  // namespace kalvane
