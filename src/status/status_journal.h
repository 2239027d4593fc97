#pragma once

// What the status window shows: the last outcome, when the next cycle is due, the rows Kalvane
// holds in the hosts file and the history of cycles and restores. The journal records them as
// they happen; the window (status_window-win32.h) shows a snapshot of it, a StatusModel.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/ansi_code_page.h"
#include "base/event_pump.h"
#include "status/status_line.h"
#include "sync/domain_list.h"
#include "sync/update_cycle.h"

namespace kalvane {

struct MappingRow {
  std::u16string host;
  std::u16string address;
  bool operator==(const MappingRow&) const = default;
};

struct HistoryRow {
  std::u16string time;    // "HH:MM:SS"
  std::u16string result;  // the outcome's words without the time
  std::u16string change;  // "+A -R ~C"; empty when nothing was written
  bool operator==(const HistoryRow&) const = default;
};

struct StatusModel {
  std::u16string outcome;        // the status line, uncut; empty before the first cycle
  std::u16string next_due;       // "下次更新：HH:MM:SS" ("下次重试：" for a quick retry)
  std::vector<MappingRow> rows;  // in the order written
  std::vector<HistoryRow> history;  // newest first
};

// The model as tab-separated text for the clipboard, one line per row, lines ending in CR LF:
// the outcome and the next due time, then "当前映射" with its column names and rows, then "历史"
// with its column names and rows. A TAB, CR or LF inside a field becomes a space.
std::u16string StatusReportText(const StatusModel& model);

// The rows of `list` that the hosts section holds after a write (hosts_section.h's
// IsWritableMapping): the rest is never written.
DomainList WrittenRows(const DomainList& list, std::string_view service_host);

// What the journal records for a cycle as `written`: the rows of `list` (UpdateCycle::Domains)
// that are written, when the cycle's hosts step wrote the section or found it as it should be;
// nothing when the cycle left the section as it was (no answer, an empty list, a failed step).
std::optional<DomainList> RowsAfterCycle(const CycleReport& report, const DomainList& list,
                                         std::string_view service_host);

inline constexpr std::size_t kHistoryCapacity = 200;

// When the next cycle starts by itself, and whether it is a quick retry.
struct NextDue {
  MonotonicClock::time_point at;
  bool quick_retry = false;
};

class StatusJournal {
 public:
  // A cycle, a restore or a paused restore ended at `at` with `result` (the outcome's words,
  // reason included, without the time). `written`: the rows the hosts section holds after this
  // event wrote it (WrittenRows), nothing when it wrote nothing; the change is counted against
  // the rows held before. The history keeps the last kHistoryCapacity events.
  void Record(TimeOfDay at, std::u16string_view result, const std::optional<DomainList>& written);
  // When the next cycle is due, and whether it is a quick retry; nothing when none is.
  void SetNextDue(std::optional<TimeOfDay> due, bool quick_retry = false) {
    next_due_ = due;
    next_is_retry_ = quick_retry;
  }

  // The rows the hosts section holds as far as this program wrote them.
  const DomainList& Held() const { return held_; }
  const std::deque<HistoryRow>& History() const { return history_; }  // newest first
  // A snapshot for the window; host names and addresses read in `code_page`.
  StatusModel Model(const AnsiCodePage& code_page) const;

 private:
  DomainList held_;
  std::deque<HistoryRow> history_;
  std::u16string outcome_;
  std::optional<TimeOfDay> next_due_;
  bool next_is_retry_ = false;
};

}  // namespace kalvane
