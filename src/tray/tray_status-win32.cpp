#include "tray/tray_status-win32.h"

namespace kalvane {

TrayStatus::TrayStatus(TrayIcon& tray, HWND window, HICON picture1, HICON picture2)
    : tray_(tray),
      picture1_(picture1),
      picture2_(picture2),
      timer2_(window, kTimer2Id, kTimer2IntervalMs) {
  tray_.SetIcon(rule_.Current() == IconChoice::Picture1 ? picture1_ : picture2_);
}

void TrayStatus::ShowUpdateStatus(int result) {
  const auto steady = rule_.ShowUpdateStatus(result);
  timer2_.SetEnabled(false);
  if (steady) {
    SetStatusIcon(*steady);
  } else {
    timer2_.SetEnabled(true);
  }
}

void TrayStatus::Timer2_Timer() {
  if (const auto next = rule_.Timer2_Timer()) SetStatusIcon(*next);
}

void TrayStatus::SetStatusIcon(IconChoice picture) {
  tray_.SetIcon(picture == IconChoice::Picture1 ? picture1_ : picture2_);
  tray_.TrayModify();
}

}  // namespace kalvane
