#include "status/status_line.h"

#include <cstdint>
#include <string_view>

#include "base/text.h"
#include "status/connect_reason.h"
#include "status/status_tip.h"

namespace kalvane {
namespace {

// The Win32 error codes a hosts step meets in practice.
constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kWriteProtect = 19;
constexpr std::uint32_t kSharingViolation = 32;
constexpr std::uint32_t kLockViolation = 33;
constexpr std::uint32_t kDiskFull = 112;
constexpr std::uint32_t kUserMappedFile = 1224;

std::u16string TwoDigits(int value) {
  const int clamped = value < 0 ? 0 : value % 100;
  return {static_cast<char16_t>(u'0' + clamped / 10), static_cast<char16_t>(u'0' + clamped % 10)};
}

std::u16string ErrorReason(std::uint32_t code) {
  switch (code) {
    case 0:
      return {};
    case kFileNotFound:
    case kPathNotFound:
      return u"找不到文件";
    case kAccessDenied:
      return u"拒绝访问";
    case kWriteProtect:
      return u"磁盘写保护";
    case kSharingViolation:
    case kLockViolation:
    case kUserMappedFile:
      return u"文件正被其他程序使用";
    case kDiskFull:
      return u"磁盘已满";
    default:
      return u"错误 " + DecimalText(code);
  }
}

std::u16string_view HostsFailureWords(const HostsOutcome& hosts) {
  if (hosts.ok()) return u"";
  switch (hosts.step) {
    case HostsStep::kLocate:
      return u"找不到系统目录，无法写入 hosts 文件";
    case HostsStep::kRead:
      if (hosts.status == StatusKind::kNotFound) return u"没有 hosts 文件";
      if (hosts.status == StatusKind::kRejected) return u"hosts 文件不是文本，未改动";
      return u"无法读取 hosts 文件";
    case HostsStep::kTempFile:
    case HostsStep::kReplace:
      return u"无法写入 hosts 文件";
    case HostsStep::kVerify:
      return u"hosts 文件读回与写入不符，已还原";
    case HostsStep::kPutBack:
      return u"hosts 文件替换中断，下次更新时还原";
    case HostsStep::kWritten:
    case HostsStep::kUnchanged:
    case HostsStep::kNotTouched:
    case HostsStep::kCompose:
      break;
  }
  return u"写入 hosts 文件时出错";
}

bool HostsFailed(const CycleReport& report) { return report.Hosts() && !report.Hosts()->ok(); }

std::u16string Updated(const AnswerTaken& taken) {
  if (taken.hosts.step == HostsStep::kNotTouched) return u"服务器没有返回映射，hosts 文件未改动";
  return u"已更新 " + DecimalText(taken.hosts.RowCount()) + u" 条映射";
}

// What came back when the answer could not be taken.
std::u16string RefusalWords(const AnswerVerdict& refusal) {
  switch (refusal.fault) {
    case AnswerFault::kNone:
      break;
    case AnswerFault::kErrorStatus:
      return u"服务器返回错误（HTTP " +
             DecimalText(static_cast<std::uint64_t>(refusal.status_code)) + u"）";
    case AnswerFault::kOtherVersion:
      return u"服务器的回答不是 HTTP/1.1";
    case AnswerFault::kNoLength:
      return u"服务器的回答没有长度（Content-Length）";
    case AnswerFault::kTooLarge:
      return u"服务器的回答过大";
    case AnswerFault::kUnrecognised:
      return u"服务器的回答无法识别";
  }
  return {};
}

// The outcome's words; for no answer without its reason.
std::u16string OutcomeWords(const CycleReport& report) {
  if (!report.AccountSent()) return u"账号含有无法发送的字符，未连接服务器";
  if (const AnswerRefused* refused = report.Refused()) return RefusalWords(refused->refusal);
  const AnswerTaken* taken = report.Taken();
  if (taken == nullptr) return u"无法连接服务器";
  const std::u16string hosts = HostsFailureText(taken->hosts);
  if (!taken->confirmed) return hosts.empty() ? u"账号未确认" : u"账号未确认；" + hosts;
  if (!hosts.empty()) return hosts;
  if (taken->after_failures) return u"重试后" + Updated(*taken);
  return Updated(*taken);
}

std::u16string_view Reason(const CycleReport& report) {
  const NoAnswer* none = report.Unanswered();
  return none ? ConnectFailureReason(none->transfer) : std::u16string_view();
}

// A proxy that failed in the attempt that decided a cycle without an answer, without its reason.
std::u16string ProxyFailureWords(const CycleReport& report) {
  const NoAnswer* none = report.Unanswered();
  if (none == nullptr || !none->route.failed_proxy) return {};
  if (none->route.proxy_wants_credentials) return u"代理服务器要求身份验证";
  return u"无法连接代理服务器 " + AsciiToUtf16(none->route.failed_proxy->Text());
}

std::u16string_view ProxyFailureReason(const FetchRoute& route) {
  if (route.proxy_wants_credentials) return {};
  return ConnectFailureReason(route.proxy_failure);
}

}  // namespace

std::u16string HostsFailureText(const HostsOutcome& hosts) {
  std::u16string text(HostsFailureWords(hosts));
  const std::u16string reason = ErrorReason(hosts.status.system_error());
  if (!text.empty() && !reason.empty()) text += u"：" + reason;
  return text;
}

std::u16string TimeOfDayText(TimeOfDay at) {
  return TwoDigits(at.hour) + u":" + TwoDigits(at.minute) + u":" + TwoDigits(at.second);
}

std::u16string DateTimeText(TimeOfDay at) {
  return TwoDigits(at.month) + u"-" + TwoDigits(at.day) + u" " + TimeOfDayText(at);
}

std::u16string StatusLineTime(TimeOfDay at) {
  return u" (" + TwoDigits(at.hour) + u":" + TwoDigits(at.minute) + u")";
}

std::u16string OutcomeText(const CycleReport& report) {
  return OutcomeWords(report) + std::u16string(Reason(report));
}

std::u16string RoutedOutcomeText(const CycleReport& report) {
  const FetchRoute* route = report.Route();
  std::u16string text = ProxyFailureWords(report);
  if (!text.empty()) text += std::u16string(ProxyFailureReason(*route)) + u"；";
  text += OutcomeText(report);
  if (route == nullptr) return text;
  if (route->proxy) return text + u"（经代理 " + AsciiToUtf16(route->proxy->Text()) + u"）";
  return text + u"（直接连接）";
}

std::u16string StatusLine(const CycleReport& report, TimeOfDay at) {
  return OutcomeText(report) + StatusLineTime(at);
}

std::u16string TipStatusLine(const CycleReport& report, TimeOfDay at, std::size_t room) {
  // Behind a proxy that failed, the proxy is what to mend first.
  const std::u16string proxy = ProxyFailureWords(report);
  if (!proxy.empty()) {
    return FitStatusLine(proxy, ProxyFailureReason(*report.Route()), StatusLineTime(at), room);
  }
  return FitStatusLine(OutcomeWords(report), Reason(report), StatusLineTime(at), room);
}

std::u16string RestoreText(const RestoreReport& report) {
  if (report.decision == GuardDecision::kPaused) return u"hosts 文件被其他程序反复改写，已暂停恢复";
  if (!report.hosts.ok()) return HostsFailureText(report.hosts);
  if (report.decision == GuardDecision::kMoveUp) return u"已将其他程序加入本段的行移到 #BEGIN 之上";
  return u"已恢复被其他程序移除的映射";
}

namespace {

// " - <the system's words> (<kind> error <code>)", or nothing without a code.
std::u16string SystemWords(std::uint32_t code, std::u16string_view kind,
                           const DebugSubjects& subjects) {
  if (code == 0) return {};
  std::u16string words = subjects.system_message ? subjects.system_message(code) : u"";
  while (!words.empty() && (words.back() == u'\n' || words.back() == u'\r')) words.pop_back();
  return u" - " + words + (words.empty() ? u"(" : u" (") + std::u16string(kind) + u" error " +
         DecimalText(code) + u")";
}

// What the step that failed did to the hosts file.
std::u16string_view StepWords(HostsStep step) {
  switch (step) {
    case HostsStep::kLocate:
      return u"find the folder of";
    case HostsStep::kRead:
      return u"read";
    case HostsStep::kCompose:
      return u"compose";
    case HostsStep::kTempFile:
      return u"write a temporary file beside";
    case HostsStep::kReplace:
      return u"replace";
    case HostsStep::kVerify:
      return u"read back";
    case HostsStep::kPutBack:
      return u"put back";
    case HostsStep::kWritten:
    case HostsStep::kUnchanged:
    case HostsStep::kNotTouched:
      break;
  }
  return u"write";
}

std::u16string HostsStepLine(const HostsOutcome& hosts, const DebugSubjects& subjects) {
  return std::u16string(StepWords(hosts.step)) + u" " + subjects.hosts_path + u": " +
         HostsFailureText(hosts) + SystemWords(hosts.status.system_error(), u"Win32", subjects);
}

}  // namespace

std::u16string DebugReportLine(const CycleReport& report, TimeOfDay at,
                               const DebugSubjects& subjects) {
  const UpdateResult result = report.Result();
  if (result == UpdateResult::kNoFailure && !HostsFailed(report)) return {};
  std::u16string line = u"Kalvane: " + TimeOfDayText(at) + u" update: ";
  if (HostsFailed(report) && result != UpdateResult::kAccountNotConfirmed) {
    line += HostsStepLine(*report.Hosts(), subjects);
  } else {
    line += u"GET http://" + subjects.service_host + u"/: " + OutcomeText(report);
    if (const NoAnswer* none = report.Unanswered()) {
      line += SystemWords(none->transfer.system_error(), u"Winsock", subjects);
    }
  }
  return line + u"\n";
}

std::u16string DebugCleanUpLine(const HostsOutcome& hosts, const DebugSubjects& subjects) {
  if (hosts.ok()) return {};
  return u"Kalvane: exit clean-up: " + HostsStepLine(hosts, subjects) + u"\n";
}

TrayIconState IconState(UpdateResult result) {
  switch (result) {
    case UpdateResult::kNoFailure:
      return TrayIconState::kUpdated;
    case UpdateResult::kTransferFailed:
      return TrayIconState::kFailed;
    case UpdateResult::kAccountNotConfirmed:
      break;
  }
  return TrayIconState::kBlinking;
}

}  // namespace kalvane
