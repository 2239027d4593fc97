#pragma once

// Why no connection to the service came about, in the words that follow "无法连接服务器".

#include <string_view>

#include "base/status.h"

namespace kalvane {

// The reason for the transport's failure `failure`, starting with "：", e.g. "：连接被拒绝";
// empty for success and for a failure that has none of the reasons below. The Winsock code
// behind the failure decides when it is one of those named here, otherwise its kind does:
//   "：找不到服务器地址"  kNotFound, or WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY, WSANO_DATA
//   "：连接被拒绝"        WSAECONNREFUSED
//   "：连接超时"          kTimedOut, or WSAETIMEDOUT
//   "：网络不可用"        WSAENETUNREACH, WSAEHOSTUNREACH, WSAENETDOWN
//   "：连接中断"          kBrokenOff (a connection that closed before the answer was complete),
//                         or WSAECONNRESET, WSAECONNABORTED
std::u16string_view ConnectFailureReason(const Status& failure);

}  // namespace kalvane
