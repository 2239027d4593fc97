#include "status/status_display-win32.h"

#include <chrono>
#include <utility>

#include "base/file_path.h"
#include "platform/last_error-win32.h"
#include "platform/wide_text-win32.h"
#include "status/status_line.h"
#include "sync/hosts_paths-win32.h"

namespace kalvane {
namespace {

TimeOfDay FromSystemTime(const SYSTEMTIME& time) {
  return {time.wHour, time.wMinute, time.wSecond, time.wMonth, time.wDay};
}

TimeOfDay LocalTimeNow() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return FromSystemTime(now);
}

// The local time of day at the monotonic time `due`.
TimeOfDay LocalTimeAt(MonotonicClock::time_point due) {
  const auto ahead =
      std::chrono::duration_cast<std::chrono::duration<long long, std::ratio<1, 10'000'000>>>(
          std::max(due - MonotonicClock::now(), MonotonicClock::duration::zero()));
  SYSTEMTIME now{};
  GetLocalTime(&now);
  FILETIME file_time{};
  if (!SystemTimeToFileTime(&now, &file_time)) return FromSystemTime(now);
  ULARGE_INTEGER ticks{};
  ticks.LowPart = file_time.dwLowDateTime;
  ticks.HighPart = file_time.dwHighDateTime;
  ticks.QuadPart += static_cast<ULONGLONG>(ahead.count());
  file_time.dwLowDateTime = ticks.LowPart;
  file_time.dwHighDateTime = ticks.HighPart;
  SYSTEMTIME then{};
  return FileTimeToSystemTime(&file_time, &then) ? FromSystemTime(then) : FromSystemTime(now);
}

void WriteDebugLine(const std::u16string& line) {
  // Seen in a debugger or a debug-output viewer.
  if (!line.empty()) OutputDebugStringW(ToWide(line).c_str());
}

UpdateCondition ConditionOf(TrayIconState state) {
  switch (state) {
    case TrayIconState::kUpdated:
      return UpdateCondition::kWorking;
    case TrayIconState::kFailed:
      return UpdateCondition::kFailing;
    case TrayIconState::kBlinking:
      break;
  }
  return UpdateCondition::kUnconfirmed;
}

// The rows written, as the resolver is asked about them.
std::vector<ProofRow> ProofRows(const DomainList& written, const AnsiCodePage& code_page) {
  std::vector<ProofRow> rows;
  rows.reserve(written.size());
  for (const DomainMapping& row : written) {
    rows.push_back({code_page.Decode(row.host), code_page.Decode(row.address)});
  }
  return rows;
}

}  // namespace

StatusDisplay::StatusDisplay(HINSTANCE instance, HWND owner, TrayIcon& tray,
                             const TrayPictures& pictures, const AnsiCodePage& code_page,
                             RefusedHosts refused, FileSystem& files, FilePath history,
                             std::function<NextDue()> next_due)
    : instance_(instance),
      owner_(owner),
      code_page_(code_page),
      refused_(std::move(refused)),
      tray_status_(tray, pictures),
      balloons_(tray),
      history_(files, std::move(history)),
      proofs_(instance, [this](std::vector<RowProof> proofs) { OnProven(std::move(proofs)); }),
      next_due_(std::move(next_due)) {
  journal_.LoadEarlier(history_.Load());
  const std::wstring hosts = WindowsHostsPaths().hosts.wstring();
  debug_ = {hosts.empty() ? u"hosts" : std::u16string(hosts.begin(), hosts.end()),
            code_page.Decode(refused_.service_host), &SystemErrorText};
}

void StatusDisplay::OnCleanUp(const HostsOutcome& outcome) {
  WriteDebugLine(DebugCleanUpLine(outcome, debug_));
}

void StatusDisplay::OnCycleEnded(const CycleReport& report) {
  const TimeOfDay at = LocalTimeNow();
  const TrayIconState state = IconState(report.Result());
  const std::u16string words = OutcomeText(report);
  ShowInTray(tray_outcome_.OnCycle(report, at));
  WriteDebugLine(DebugReportLine(report, at, debug_));
  const AnswerTaken* taken = report.Taken();
  const SharedDomainList written = taken ? taken->hosts.rows : nullptr;
  // The rows left out, below the cycle's own line in the history. The proxy the answer came
  // through is refused too, as the hosts step refused it.
  if (written && taken->mappings) {
    refused_.others = ProxyHostsOf(taken->route);
    for (const auto& line : RefusedRowLines(*taken->mappings, refused_, code_page_)) {
      journal_.Note(at, line);
    }
  }
  Record(at, RoutedOutcomeText(report), written);
  balloons_.Observe(ConditionOf(state), words);
}

void StatusDisplay::OnRestore(const RestoreReport& report) {
  const TimeOfDay at = LocalTimeNow();
  const std::u16string text = RestoreText(report);
  ShowInTray(tray_outcome_.OnRestore(report, at));
  Record(at, text, report.hosts.rows);
  // A restore that went through says nothing about the updates themselves.
  if (report.decision == GuardDecision::kPaused) {
    balloons_.Observe(UpdateCondition::kRestorePaused, text);
  } else if (!report.hosts.ok()) {
    balloons_.Observe(UpdateCondition::kFailing, text);
  }
}

void StatusDisplay::ShowInTray(const TrayView& view) {
  tip_line_ = view.tip_line;
  if (view.icon) {
    tray_status_.ShowUpdateStatus(*view.icon, tip_line_);
  } else {
    ShowTip();
  }
}

void StatusDisplay::Record(TimeOfDay at, std::u16string_view result,
                           const SharedDomainList& written) {
  journal_.Record(at, result, written);
  (void)history_.Save(journal_.Entries());  // not kept: the next event tries again
  SetNextDue();
  Refresh();
  // The write is done and the resolver's cache flushed: do the names resolve as written?
  if (written) proofs_.Start(ProofRows(*written, code_page_));
}

void StatusDisplay::OnProven(std::vector<RowProof> proofs) {
  journal_.SetProofs(std::move(proofs));
  ShowTip();
  Refresh();
}

void StatusDisplay::ShowTip() {
  // The proof's note goes on a line of its own below the outcome.
  const std::u16string note = journal_.UnprovenNote();
  tray_status_.ShowTip(note.empty() ? tip_line_ : tip_line_ + u"\n" + note);
}

void StatusDisplay::Refresh() {
  if (window_ && window_->IsOpen()) window_->Show(journal_.Model(code_page_));
}

void StatusDisplay::SetNextDue() {
  const NextDue next = next_due_();
  journal_.SetNextDue(LocalTimeAt(next.at), next.quick_retry);
}

void StatusDisplay::OpenWindow() {
  SetNextDue();
  if (window_ && window_->IsOpen()) {
    window_->Show(journal_.Model(code_page_));
    window_->BringForward();
    return;
  }
  Result<std::unique_ptr<StatusWindow>> opened =
      StatusWindow::Open(instance_, owner_, journal_.Model(code_page_));
  window_ = opened ? std::move(opened).value() : nullptr;
}

}  // namespace kalvane
