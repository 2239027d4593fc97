#include "status/connect_reason.h"

#include <cstdint>

namespace kalvane {
namespace {

// Winsock's codes, by number: the portable core has no Winsock header.
constexpr std::uint32_t kWsaNetDown = 10050;          // WSAENETDOWN
constexpr std::uint32_t kWsaNetUnreachable = 10051;   // WSAENETUNREACH
constexpr std::uint32_t kWsaConnAborted = 10053;      // WSAECONNABORTED
constexpr std::uint32_t kWsaConnReset = 10054;        // WSAECONNRESET
constexpr std::uint32_t kWsaTimedOut = 10060;         // WSAETIMEDOUT
constexpr std::uint32_t kWsaConnRefused = 10061;      // WSAECONNREFUSED
constexpr std::uint32_t kWsaHostUnreachable = 10065;  // WSAEHOSTUNREACH
constexpr std::uint32_t kWsaHostNotFound = 11001;     // WSAHOST_NOT_FOUND
constexpr std::uint32_t kWsaTryAgain = 11002;         // WSATRY_AGAIN
constexpr std::uint32_t kWsaNoRecovery = 11003;       // WSANO_RECOVERY
constexpr std::uint32_t kWsaNoData = 11004;           // WSANO_DATA

constexpr std::u16string_view kNoAddress = u"：找不到服务器地址";
constexpr std::u16string_view kRefused = u"：连接被拒绝";
constexpr std::u16string_view kTimedOut = u"：连接超时";
constexpr std::u16string_view kNoNetwork = u"：网络不可用";
constexpr std::u16string_view kBrokenOff = u"：连接中断";

std::u16string_view ReasonForCode(std::uint32_t code) {
  switch (code) {
    case kWsaHostNotFound:
    case kWsaTryAgain:
    case kWsaNoRecovery:
    case kWsaNoData:
      return kNoAddress;
    case kWsaConnRefused:
      return kRefused;
    case kWsaTimedOut:
      return kTimedOut;
    case kWsaNetUnreachable:
    case kWsaHostUnreachable:
    case kWsaNetDown:
      return kNoNetwork;
    case kWsaConnReset:
    case kWsaConnAborted:
      return kBrokenOff;
    default:
      return {};
  }
}

std::u16string_view ReasonForKind(StatusKind kind) {
  switch (kind) {
    case StatusKind::kNotFound:
      return kNoAddress;
    case StatusKind::kTimedOut:
      return kTimedOut;
    case StatusKind::kBrokenOff:
      return kBrokenOff;
    default:
      return {};
  }
}

}  // namespace

std::u16string_view ConnectFailureReason(const Status& failure) {
  // A cancelled wait (the program is closing) is no failure to explain.
  if (failure.ok() || failure.kind() == StatusKind::kCancelled) return {};
  const std::u16string_view by_code = ReasonForCode(failure.system_error());
  return by_code.empty() ? ReasonForKind(failure.kind()) : by_code;
}

}  // namespace kalvane
