#include "tray/tray_status-win32.h"

#include "platform/wide_text-win32.h"

namespace kalvane {
namespace {

// Blinking is an animation: off where the user turned animations off or uses high contrast.
bool BlinkingWelcome() {
  BOOL animations = TRUE;
  if (SystemParametersInfoW(SPI_GETCLIENTAREAANIMATION, 0, &animations, 0) && !animations) {
    return false;
  }
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof(contrast);
  return !(SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0);
}

}  // namespace

TrayStatus::TrayStatus(TrayIcon& tray, const TrayPictures& pictures)
    : tray_(tray), pictures_(pictures), blink_timer_([this] { OnBlinkTick(); }) {
  tray_.SetIcon(pictures_.updated);
  blink_timer_.Start(kBlinkTickMs);  // the rule blinks until the first outcome
}

void TrayStatus::ShowUpdateStatus(TrayIconState state, std::u16string_view status_line) {
  tray_.SetTip(ToWide(TrayTipText(status_line)));
  const auto steady = rule_.ShowUpdateStatus(state, BlinkingWelcome());
  blink_timer_.Stop();
  if (steady) {
    SetPicture(*steady);
  } else {
    tray_.Modify();  // the tool-tip now; the picture with the first blink
    blink_timer_.Start(kBlinkTickMs);
  }
}

void TrayStatus::ShowTip(std::u16string_view status_line) {
  tray_.SetTip(ToWide(TrayTipText(status_line)));
  tray_.Modify();
}

void TrayStatus::OnBlinkTick() {
  if (const auto next = rule_.OnBlinkTick()) SetPicture(*next);
}

void TrayStatus::SetPicture(TrayPicture picture) {
  switch (picture) {
    case TrayPicture::kUpdated:
      tray_.SetIcon(pictures_.updated);
      break;
    case TrayPicture::kFailed:
      tray_.SetIcon(pictures_.failed);
      break;
    case TrayPicture::kUnconfirmed:
      tray_.SetIcon(pictures_.unconfirmed);
      break;
  }
  tray_.Modify();
}

}  // namespace kalvane
