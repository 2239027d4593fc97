#pragma once

#include <windows.h>

#include <string_view>

#include "platform/window_timer-win32.h"
#include "tray/status_icon_rule.h"
#include "tray/tray_icon-win32.h"

namespace kalvane {

// The icon pictures' handles, owned by the caller.
struct TrayPictures {
  HICON updated;
  HICON failed;
  HICON unconfirmed;  // steady, where blinking is unwelcome
};

// The status rule bound to the tray icon, the icon pictures and the blink timer, which ticks
// OnBlinkTick by itself. The icon state of every cycle's outcome comes to ShowUpdateStatus.
class TrayStatus {
 public:
  // Writes the updated picture into the tray record (the icon of start-up) and starts the blink
  // timer. The icons must outlive this object.
  TrayStatus(TrayIcon& tray, const TrayPictures& pictures);
  TrayStatus(const TrayStatus&) = delete;
  TrayStatus& operator=(const TrayStatus&) = delete;

  // Shows one cycle's outcome: a steady picture, or blinking that starts one full interval later.
  // `status_line` becomes the tool-tip's second line.
  // Where the user turned off Windows' animations or uses high contrast, an unconfirmed account
  // shows its own steady picture instead of the blinking.
  void ShowUpdateStatus(TrayIconState state, std::u16string_view status_line = {});
  // Sets the tool-tip's second line alone: the picture, steady or blinking, stays.
  void ShowTip(std::u16string_view status_line);
  // One tick of the blink timer (public for tests, which tick it at will).
  void OnBlinkTick();

 private:
  void SetPicture(TrayPicture picture);

  TrayIcon& tray_;
  TrayPictures pictures_;
  StatusIconRule rule_;
  WindowTimer blink_timer_;
};

}  // namespace kalvane
