#include "status/status_display-win32.h"

#include <chrono>
#include <utility>

#include "platform/wide_text-win32.h"
#include "status/status_line.h"

namespace kalvane {
namespace {

TimeOfDay FromSystemTime(const SYSTEMTIME& time) {
  return {time.wHour, time.wMinute, time.wSecond};
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
  // Seen in a debugger or a debug-output viewer; nothing goes to disk.
  if (!line.empty()) OutputDebugStringW(ToWide(line).c_str());
}

}  // namespace

StatusDisplay::StatusDisplay(HINSTANCE instance, HWND owner, TrayIcon& tray, HICON updated,
                             HICON failed, const AnsiCodePage& code_page, std::string service_host)
    : instance_(instance),
      owner_(owner),
      code_page_(code_page),
      service_host_(std::move(service_host)),
      tray_status_(tray, owner, updated, failed) {}

void StatusDisplay::ShowCycle(const CycleReport& report, const NextDue& next) {
  const TimeOfDay at = LocalTimeNow();
  tray_status_.ShowUpdateStatus(IconState(report.result), TipStatusLine(report, at));
  WriteDebugLine(DebugReportLine(report, at));
  Record(at, RoutedOutcomeText(report), RowsAfterCycle(report, report.mappings, service_host_),
         next);
}

void StatusDisplay::ShowRestore(const RestoreReport& report, const NextDue& next) {
  const TimeOfDay at = LocalTimeNow();
  const std::u16string text = RestoreText(report);
  tray_status_.ShowUpdateStatus(IconState(report), text + StatusLineTime(at));
  std::optional<DomainList> written;
  if (report.kind == RestoreReport::Kind::kRestored && HostsStepSucceeded(report.hosts.outcome)) {
    written = WrittenRows(report.mappings, service_host_);
  }
  Record(at, text, written, next);
}

void StatusDisplay::Record(TimeOfDay at, std::u16string_view result,
                           const std::optional<DomainList>& written, const NextDue& next) {
  journal_.Record(at, result, written);
  SetNextDue(next);
  if (window_ && window_->IsOpen()) window_->Show(journal_.Model(code_page_));
}

void StatusDisplay::SetNextDue(const NextDue& next) {
  journal_.SetNextDue(LocalTimeAt(next.at), next.quick_retry);
}

void StatusDisplay::OpenWindow(const NextDue& next) {
  SetNextDue(next);
  if (window_ && window_->IsOpen()) {
    window_->Show(journal_.Model(code_page_));
    window_->BringForward();
    return;
  }
  window_ = StatusWindow::Open(instance_, owner_, journal_.Model(code_page_));
}

}  // namespace kalvane
