#pragma once

// What the user sees of each outcome besides the main window: the tray icon, its tool-tip and
// balloons, the debug line, the journal of cycles and restores (kept on disk across runs), the
// proof that the rows written take effect, and the status window while it is open.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/ansi_code_page.h"
#include "base/file_path.h"
#include "base/file_system.h"
#include "status/balloon_notice-win32.h"
#include "status/history_file.h"
#include "status/row_proof-win32.h"
#include "status/status_journal.h"
#include "status/status_window-win32.h"
#include "status/tray_outcome.h"
#include "sync/section_restore.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {

// Follows the update controller and the section restore directly: each outcome they report shows
// here, with the cycle that starts next by itself as `next_due` tells it.
class StatusDisplay final : public UpdateObserver, public RestoreObserver {
 public:
  // The tray, the icons, `code_page` and `files` stay owned by the caller and must outlive this
  // object. Rows `refused` refuses are never written: the history names them. The history of
  // earlier runs is read from `history` (in `files`, kept private) at once.
  StatusDisplay(HINSTANCE instance, HWND owner, TrayIcon& tray, const TrayPictures& pictures,
                const AnsiCodePage& code_page, RefusedHosts refused, FileSystem& files,
                FilePath history, std::function<NextDue()> next_due);
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;

  // UpdateObserver: a cycle ended; the exit clean-up's hosts step ended with `outcome`, a
  // failure of which goes to the debug output.
  void OnCycleEnded(const CycleReport& report) override;
  void OnCleanUp(const HostsOutcome& outcome) override;
  // RestoreObserver: a restore was made, or restoring paused: in the history; the tray keeps the
  // last update's outcome (TrayOutcome).
  void OnRestore(const RestoreReport& report) override;
  // One tick of the one-second refresh timer: a balloon that had to wait.
  void OnSecondTick() { balloons_.OnTick(); }
  // "通知": balloons off or on.
  void ToggleBalloons() { balloons_.Toggle(); }
  bool BalloonsOn() const { return balloons_.On(); }

  // "状态": opens the status window, or brings it forward when it is open.
  void OpenWindow();
  // The program closes: the status window goes first.
  void CloseWindow() { window_.reset(); }

 private:
  void Record(TimeOfDay at, std::u16string_view result, const SharedDomainList& written);
  void SetNextDue();
  void ShowInTray(const TrayView& view);
  void ShowTip();
  void OnProven(std::vector<RowProof> proofs);
  void Refresh();

  HINSTANCE instance_;
  HWND owner_;
  const AnsiCodePage& code_page_;
  RefusedHosts refused_;
  DebugSubjects debug_;  // what the debug output names
  TrayStatus tray_status_;
  TrayOutcome tray_outcome_;
  BalloonNotice balloons_;
  HistoryFile history_;
  StatusJournal journal_;
  std::u16string tip_line_;  // the tool-tip below its title, before the proof's note
  RowProofs proofs_;
  std::unique_ptr<StatusWindow> window_;
  std::function<NextDue()> next_due_;
};

}  // namespace kalvane
