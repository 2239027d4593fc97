#include "tray/status_icon_rule.h"

#include "base/text.h"

namespace kalvane {

std::u16string TrayTipText(std::u16string_view status_line) {
  std::u16string tip(kTrayTipTitle);
  if (!status_line.empty()) tip.append(u"\n").append(status_line);
  if (tip.size() < kTrayTipCapacity) return tip;
  return std::u16string(HeadKeepingPairs(tip, kTrayTipCapacity - 1));
}

std::optional<TrayPicture> StatusIconRule::ShowUpdateStatus(TrayIconState state, bool animate) {
  blink_enabled_ = false;
  switch (state) {
    case TrayIconState::kUpdated:
      return SetPicture(TrayPicture::kUpdated);
    case TrayIconState::kFailed:
      return SetPicture(TrayPicture::kFailed);
    case TrayIconState::kBlinking:
      if (!animate) return SetPicture(TrayPicture::kUnconfirmed);
      break;
  }
  blink_enabled_ = true;
  return std::nullopt;
}

std::optional<TrayPicture> StatusIconRule::OnBlinkTick() {
  if (!blink_enabled_) return std::nullopt;
  const TrayPicture next = blink_phase_ ? TrayPicture::kUpdated : TrayPicture::kFailed;
  blink_phase_ = !blink_phase_;
  return SetPicture(next);
}

TrayPicture StatusIconRule::SetPicture(TrayPicture picture) {
  current_ = picture;
  return current_;
}

}  // namespace kalvane
