#pragma once

// What the status window shows: the last outcome, when the next cycle is due, the rows Kalvane
// holds in the hosts file and the history of cycles and restores. The journal records them as
// they happen; the window (status_window-win32.h) shows a snapshot of it, a StatusModel.

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ansi_code_page.h"
#include "base/event_pump.h"
#include "status/row_proof.h"
#include "status/status_line.h"
#include "sync/domain_list.h"
#include "sync/refused_rows.h"
#include "sync/update_cycle.h"

namespace kalvane {

struct MappingRow {
  std::u16string host;
  std::u16string address;
  std::u16string effect;  // "生效": ProofText, empty while the proof runs
  bool operator==(const MappingRow&) const = default;
};

struct HistoryRow {
  std::u16string time;    // "HH:MM:SS"; "MM-DD HH:MM:SS" for a row of an earlier run
  std::u16string result;  // the outcome's words without the time
  std::u16string change;  // "+A -R ~C"; empty when nothing was written
  bool operator==(const HistoryRow&) const = default;
};

// The rows the hosts section holds, in the order written, each read in the code page only when it
// is asked for: a list of a million rows costs a window no more than the rows it shows.
using SharedRowProofs = std::shared_ptr<const std::vector<RowProof>>;

class MappingRows {
 public:
  MappingRows() = default;
  // `code_page` must outlive this object and its copies.
  MappingRows(SharedDomainList list, SharedRowProofs proofs, const AnsiCodePage& code_page)
      : list_(std::move(list)), proofs_(std::move(proofs)), code_page_(&code_page) {}

  std::size_t size() const { return list_ ? list_->size() : 0; }
  MappingRow operator[](std::size_t index) const;

 private:
  SharedDomainList list_;
  SharedRowProofs proofs_;
  const AnsiCodePage* code_page_ = nullptr;
};

struct StatusModel {
  std::u16string outcome;   // the status line, uncut; empty before the first cycle
  std::u16string next_due;  // "下次更新：HH:MM:SS" ("下次重试：" for a quick retry)
  MappingRows rows;         // in the order written
  std::vector<HistoryRow> history;  // newest first
};

// `text` as one field of a line: fields go between TABs and lines between CR LFs, so a TAB, CR
// or LF in it becomes a space.
std::u16string FieldText(std::u16string_view text);

// The model as tab-separated text for the clipboard, one line per row, lines ending in CR LF:
// the outcome and the next due time, then "当前映射" with its column names and rows, then "历史"
// with its column names and rows. A TAB, CR or LF inside a field becomes a space.
std::u16string StatusReportText(const StatusModel& model);

// A history line for each row of `list` that is never written, with why, e.g.
// "未写入 wpad 6.6.6.6：代理自动发现（WPAD）的名称"; at most kRefusedRowsShown, then one line
// that counts the rest.
inline constexpr std::size_t kRefusedRowsShown = 10;
std::vector<std::u16string> RefusedRowLines(const DomainList& list, const RefusedHosts& refused,
                                            const AnsiCodePage& code_page);

// The history's bound, earlier runs' rows included.
inline constexpr std::size_t kHistoryCapacity = 1000;

// One event of the history as it is kept, also on disk (history_file.h).
struct JournalEntry {
  TimeOfDay at;
  std::u16string result;
  std::u16string change;
  bool earlier_run = false;  // read back from an earlier run's file
  bool operator==(const JournalEntry&) const = default;
};

// When the next cycle starts by itself, and whether it is a quick retry.
struct NextDue {
  MonotonicClock::time_point at;
  bool quick_retry = false;
};

class StatusJournal {
 public:
  // A cycle, a restore or a paused restore ended at `at` with `result` (the outcome's words,
  // reason included, without the time). `written`: the rows the hosts section holds after this
  // event wrote it (the hosts step's rows), none when it wrote nothing; the change is counted
  // against the rows held before, whose proof starts afresh. The history keeps the last
  // kHistoryCapacity events.
  void Record(TimeOfDay at, std::u16string_view result, const SharedDomainList& written);
  // A line in the history alone, such as a row that was refused; the outcome stays.
  void Note(TimeOfDay at, std::u16string_view text);
  // The history of earlier runs, newest first, goes below this run's events.
  void LoadEarlier(std::vector<JournalEntry> earlier);
  // The proof of the rows held, in their order (row_proof.h). When some do not take effect and
  // the last event wrote them, the outcome says how many.
  void SetProofs(std::vector<RowProof> proofs);
  // When the next cycle is due, and whether it is a quick retry; nothing when none is.
  void SetNextDue(std::optional<TimeOfDay> due, bool quick_retry = false) {
    next_due_ = due;
    next_is_retry_ = quick_retry;
  }

  const std::deque<JournalEntry>& Entries() const { return entries_; }  // newest first
  std::vector<HistoryRow> History() const;                              // as the window shows it
  // "N 条映射未生效" when the last event wrote rows that do not all take effect; else empty.
  std::u16string UnprovenNote() const;
  // A snapshot for the window; host names and addresses read in `code_page`.
  StatusModel Model(const AnsiCodePage& code_page) const;

 private:
  SharedDomainList held_;    // the rows the hosts section holds as far as this program wrote them
  SharedRowProofs proofs_;   // one per held row; none while the proof runs
  bool last_wrote_ = false;  // the last event wrote the rows held
  std::deque<JournalEntry> entries_;
  std::optional<JournalEntry> last_;
  std::optional<TimeOfDay> next_due_;
  bool next_is_retry_ = false;
};

}  // namespace kalvane
