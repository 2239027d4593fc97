#pragma once

// What the user sees of each outcome besides the main window: the tray icon, its tool-tip and
// balloons, the debug line, the journal of cycles and restores (kept on disk across runs), the
// proof that the rows written take effect, and the status window while it is open.

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/ansi_code_page.h"
#include "base/file_system.h"
#include "status/balloon_notice-win32.h"
#include "status/history_file.h"
#include "status/row_proof-win32.h"
#include "status/status_journal.h"
#include "status/status_window-win32.h"
#include "sync/update_cycle.h"
#include "tray/tray_icon-win32.h"
#include "tray/tray_status-win32.h"

namespace kalvane {

class StatusDisplay {
 public:
  // The tray, the icons, `code_page` and `files` stay owned by the caller and must outlive this
  // object. Rows naming `service_host` are never written, so the journal leaves them out too.
  // The history of earlier runs is read from `history` (in `files`, kept private) at once.
  StatusDisplay(HINSTANCE instance, HWND owner, TrayIcon& tray, const TrayPictures& pictures,
                const AnsiCodePage& code_page, std::string service_host, FileSystem& files,
                std::filesystem::path history);
  StatusDisplay(const StatusDisplay&) = delete;
  StatusDisplay& operator=(const StatusDisplay&) = delete;

  // A cycle ended; `next` is the cycle that starts next by itself.
  void ShowCycle(const CycleReport& report, const NextDue& next);
  // A restore was made, or restoring paused.
  void ShowRestore(const RestoreReport& report, const NextDue& next);
  // One tick of the blink timer.
  void OnBlinkTick() { tray_status_.OnBlinkTick(); }
  // One tick of the one-second refresh timer: a balloon that had to wait.
  void OnSecondTick() { balloons_.OnTick(); }
  // "通知": balloons off or on.
  void ToggleBalloons() { balloons_.Toggle(); }
  bool BalloonsOn() const { return balloons_.On(); }

  // "状态": opens the status window, or brings it forward when it is open.
  void OpenWindow(const NextDue& next);
  // The program closes: the status window goes first.
  void CloseWindow() { window_.reset(); }

 private:
  // The tool-tip's status line in at most the room given.
  using TipLine = std::function<std::u16string(std::size_t room)>;

  void Record(TimeOfDay at, std::u16string_view result, const std::optional<DomainList>& written,
              const NextDue& next);
  void SetNextDue(const NextDue& next);
  void ShowTip();
  void OnProven(std::vector<RowProof> proofs);
  void Refresh();

  HINSTANCE instance_;
  HWND owner_;
  const AnsiCodePage& code_page_;
  std::string service_host_;
  TrayStatus tray_status_;
  BalloonNotice balloons_;
  HistoryFile history_;
  StatusJournal journal_;
  TipLine tip_line_;
  RowProofs proofs_;
  std::unique_ptr<StatusWindow> window_;
};

}  // namespace kalvane
