#pragma once

// What the tray's tool-tip says about the last update cycle, and what goes to the debug output.

#include <string>

#include "sync/update_cycle.h"
#include "tray/status_icon_rule.h"

namespace kalvane {

// A local wall-clock time of day.
struct ClockTime {
  int hour = 0;
  int minute = 0;
};

// The last cycle's outcome in the window's language, with the time it ended, e.g.
// "已更新 2 条映射 (12:03)", "无法写入 hosts 文件：拒绝访问 (12:03)", "无法连接服务器 (12:03)",
// "账号未确认 (12:03)". An unconfirmed account whose rows could not be written names both.
std::u16string StatusLine(const CycleReport& report, ClockTime at);

// The hosts step's failure in words, with its reason when the error code is known; empty for an
// outcome that is no failure.
std::u16string HostsFailureText(const HostsStepReport& hosts);

// A line for the debug output when the cycle did not go through cleanly (every result but a
// confirmed update whose hosts step succeeded): the status line with the codes behind it.
// Empty when there is nothing to report. The transfer's status and Winsock error code come from
// the report.
std::u16string DebugReportLine(const CycleReport& report, ClockTime at);

// What the tray icon shows for a cycle's result: the first picture for an update that went
// through, the second for a failed transfer or hosts write, the two blinking for an account that
// was not confirmed or could not be sent.
TrayIconState IconState(UpdateResult result);

// The same for the exit clean-up's hosts step; empty when it succeeded.
std::u16string DebugCleanUpLine(const HostsStepReport& hosts);

}  // namespace kalvane
