#pragma once

// The tray's status rule: which picture the notification-area icon shows after each update cycle
// and while it blinks. The Windows side (tray_status-win32.h, tray_icon-win32.h) puts it on screen.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kalvane {

// The icon pictures: the steady icon of a good update and the one of a failed transfer, which
// blinking alternates between; and the steady icon of an unconfirmed account, shown instead of
// the blinking where the user turned animations off or uses high contrast.
enum class TrayPicture { kUpdated, kFailed, kUnconfirmed };

// What the icon is to show after an update: steady kUpdated, steady kFailed, or the two pictures
// in turn (kBlinking). The window decides which one an outcome gets.
enum class TrayIconState { kUpdated, kFailed, kBlinking };

// The tool-tip's room in the shell's icon record, its terminating NUL included.
inline constexpr std::size_t kTrayTipCapacity = 128;
inline constexpr std::u16string_view kTrayTipTitle = u"Kalvane";

// The icon's tool-tip: "Kalvane" and, when there is one, the last cycle's status line below it,
// cut to fit the record (never in the middle of a surrogate pair).
std::u16string TrayTipText(std::u16string_view status_line);

// Interval of the blink timer.
inline constexpr unsigned kBlinkTickMs = 500;

// Turns each state the window asks for into the tray icon's pictures, steady or blinking.
// `Current()` is the picture the tray record is to hold; every choice that returns a picture is to
// be written there and followed by a tray modify call.
class StatusIconRule {
 public:
  // Stops the blinking. Returns the steady picture to set (sent again after every cycle, also when
  // unchanged), or nothing when the blinking starts: the blink timer is then to be restarted, so
  // the first blink comes one full interval later. Without `animate` kBlinking is the steady
  // kUnconfirmed.
  std::optional<TrayPicture> ShowUpdateStatus(TrayIconState state, bool animate = true);

  // One tick of the blink timer: the picture to show next, or nothing when blinking is off (a
  // tick that was already queued when it stopped). Starts with kFailed after the window's
  // creation; later blinking goes on from wherever the previous one stopped.
  std::optional<TrayPicture> OnBlinkTick();

  // The picture last chosen; start-up's kUpdated until a result or a blink changes it.
  TrayPicture Current() const { return current_; }

 private:
  TrayPicture SetPicture(TrayPicture picture);

  bool blink_enabled_ = true;
  bool blink_phase_ = false;
  TrayPicture current_ = TrayPicture::kUpdated;
};

}  // namespace kalvane
