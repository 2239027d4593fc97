#pragma once

// What the tray's tool-tip, the status window and the debug output say about the last update
// cycle or restore.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "status/status_tip.h"
#include "sync/section_restore.h"
#include "sync/update_cycle.h"
#include "tray/status_icon_rule.h"

namespace kalvane {

// A local wall-clock time of day, and the day it falls on (0 when not known).
struct TimeOfDay {
  int hour = 0;
  int minute = 0;
  int second = 0;
  int month = 0;
  int day = 0;
  bool operator==(const TimeOfDay&) const = default;
};

// "HH:MM:SS".
std::u16string TimeOfDayText(TimeOfDay at);
// "MM-DD HH:MM:SS", the time of an earlier run's event.
std::u16string DateTimeText(TimeOfDay at);
// " (HH:MM)", the time as the status line ends with it.
std::u16string StatusLineTime(TimeOfDay at);

// The last cycle's outcome in the window's language, without its time: e.g. "已更新 2 条映射",
// "无法写入 hosts 文件：拒绝访问", "账号未确认". An unconfirmed account whose rows could not be
// written names both. An answer that was refused says what came back: "服务器返回错误（HTTP 500）".
// Only when none came does it say "无法连接服务器", with its reason when the transfer's status
// tells one: "无法连接服务器：连接被拒绝" (connect_reason.h).
std::u16string OutcomeText(const CycleReport& report);

// OutcomeText with the way the cycle went, as the status window and its history show it:
// "已更新 2 条映射（经代理 proxy:8080）", "无法连接服务器：连接超时（直接连接）"; when no answer
// came and a proxy failed on the way, that comes first: "无法连接代理服务器
// proxy:8080：连接被拒绝；…" or "代理服务器要求身份验证；…".
std::u16string RoutedOutcomeText(const CycleReport& report);

// OutcomeText with the time the cycle ended, e.g. "无法连接服务器：连接超时 (12:03)".
std::u16string StatusLine(const CycleReport& report, TimeOfDay at);

// The status line as the tool-tip has room for it: the reason is shortened before the time is.
std::u16string TipStatusLine(const CycleReport& report, TimeOfDay at,
                             std::size_t room = kTipStatusRoom);

// A restore's outcome without its time: "已恢复被其他程序移除的映射", "已将其他程序加入本段的行移到
// #BEGIN 之上", the hosts step's failure when the section could not be written again, or
// "hosts 文件被其他程序反复改写，已暂停恢复".
std::u16string RestoreText(const RestoreReport& report);

// The hosts step's failure in words, with its reason when the error code is known; empty for an
// outcome that is no failure.
std::u16string HostsFailureText(const HostsOutcome& hosts);

// What the debug output names: the hosts file, the service's host, and the system's own words
// for an error code (empty when it has none).
struct DebugSubjects {
  std::u16string hosts_path;
  std::u16string service_host;
  std::function<std::u16string(std::uint32_t code)> system_message;
};

// A line for the debug output when the cycle did not go through cleanly (every result but a
// confirmed update whose hosts step succeeded), naming the step that failed, what it worked on
// and why, e.g. "Kalvane: 12:03:00 update: replace C:\...\hosts: 无法写入 hosts 文件：拒绝访问 -
// Access is denied. (Win32 error 5)". Empty when there is nothing to report.
std::u16string DebugReportLine(const CycleReport& report, TimeOfDay at,
                               const DebugSubjects& subjects);

// What the tray icon shows for a cycle's result: the first picture for an update that went
// through, the second for a failed transfer or hosts write, the two blinking for an account that
// was not confirmed or could not be sent.
TrayIconState IconState(UpdateResult result);

// The same for the exit clean-up's hosts step; empty when it succeeded.
std::u16string DebugCleanUpLine(const HostsOutcome& hosts, const DebugSubjects& subjects);

}  // namespace kalvane
