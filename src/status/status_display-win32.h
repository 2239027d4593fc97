#pragma once

// What the user sees of each outcome besides the main window: the tray icon and its tool-tip, the
// debug line, the journal of cycles and restores, and the status window while it is open.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/ansi_code_page.h"
#include "status/status_journal.h"
#include "status/status_window-win32.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {

class StatusDisplay {
 public:
  // The tray, the icons and `code_page` stay owned by the caller and must outlive this object.
  // Rows naming `service_host` are never written, so the journal leaves them out too.
  StatusDisplay(HINSTANCE instance, HWND owner, TrayIcon& tray, HICON updated, HICON failed,
                const AnsiCodePage& code_page, std::string service_host);
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;

  // A cycle ended; `next` is the cycle that starts next by itself.
  void ShowCycle(const CycleReport& report, const NextDue& next);
  // A restore was made, or restoring paused.
  void ShowRestore(const RestoreReport& report, const NextDue& next);
  // One tick of the blink timer.
  void OnBlinkTick() { tray_status_.OnBlinkTick(); }

  // "状态": opens the status window, or brings it forward when it is open.
  void OpenWindow(const NextDue& next);
  // The program closes: the status window goes first.
  void CloseWindow() { window_.reset(); }

 private:
  void Record(TimeOfDay at, std::u16string_view result, const std::optional<DomainList>& written,
              const NextDue& next);
  void SetNextDue(const NextDue& next);

  HINSTANCE instance_;
  HWND owner_;
  const AnsiCodePage& code_page_;
  std::string service_host_;
  TrayStatus tray_status_;
  StatusJournal journal_;
  std::unique_ptr<StatusWindow> window_;
};

}  // namespace kalvane
