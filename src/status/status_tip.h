#pragma once

// The status line as the tray's tool-tip shows it: the outcome, its reason and its time within
// the tool-tip's room.

#include <cstddef>
#include <string>
#include <string_view>

#include "tray/status_icon_rule.h"

namespace kalvane {

// The room the tool-tip leaves for the status line: its 127 characters less the title line
// ("Kalvane" and the line break).
inline constexpr std::size_t kTipStatusRoom = kTrayTipCapacity - 1 - kTrayTipTitle.size() - 1;

// `outcome` + `reason` + `time` (e.g. "无法连接服务器" "：连接超时" " (12:03)") in at most `room`
// characters. What does not fit is taken from the reason first, which then ends in "…"; only
// when no reason is left is the time cut, and the outcome last. A surrogate pair is never split.
std::u16string FitStatusLine(std::u16string_view outcome, std::u16string_view reason,
                             std::u16string_view time, std::size_t room = kTipStatusRoom);

}  // namespace kalvane
