#include "tray/tray_status-win32.h"

#include "platform/wide_text-win32.h"

namespace kalvane {

TrayStatus::TrayStatus(TrayIcon& tray, HWND window, HICON updated, HICON failed)
    : tray_(tray),
      updated_(updated),
      failed_(failed),
      blink_timer_(window, kBlinkTimerId, kBlinkTickMs) {
  tray_.SetIcon(rule_.Current() == TrayPicture::kUpdated ? updated_ : failed_);
}

void TrayStatus::ShowUpdateStatus(TrayIconState state, std::u16string_view status_line) {
  tray_.SetTip(ToWide(TrayTipText(status_line)));
  const auto steady = rule_.ShowUpdateStatus(state);
  blink_timer_.SetEnabled(false);
  if (steady) {
    SetPicture(*steady);
  } else {
    tray_.Modify();  // the tool-tip now; the picture with the first blink
    blink_timer_.SetEnabled(true);
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
  tray_.SetIcon(picture == TrayPicture::kUpdated ? updated_ : failed_);
  tray_.Modify();
}

}  // namespace kalvane
