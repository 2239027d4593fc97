#include "tray/status_icon.h"

namespace kalvane {

std::optional<TrayPicture> StatusIcon::ShowUpdateStatus(UpdateResult result) {
  last_update_result_ = result;
  blink_enabled_ = false;
  switch (result) {
    case UpdateResult::kNoFailure:
      return SetPicture(TrayPicture::kUpdated);
    case UpdateResult::kTransferFailed:
      return SetPicture(TrayPicture::kFailed);
    case UpdateResult::kAccountNotConfirmed:
      break;
  }
  blink_enabled_ = true;
  return std::nullopt;
}

std::optional<TrayPicture> StatusIcon::OnBlinkTick() {
  if (!blink_enabled_) return std::nullopt;
  const TrayPicture next = blink_phase_ ? TrayPicture::kUpdated : TrayPicture::kFailed;
  blink_phase_ = !blink_phase_;
  return SetPicture(next);
}

TrayPicture StatusIcon::SetPicture(TrayPicture picture) {
  current_ = picture;
  return current_;
}

}  // namespace kalvane
