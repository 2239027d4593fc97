#include "platform/process_info-win32.h"

#include "platform/last_error-win32.h"
#include "platform/path_query-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

Status CheckElevated(HANDLE process) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(process, TOKEN_QUERY, &token)) return LastErrorStatus();
  const UniqueKernelObject owned_token(token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &size)) {
    return LastErrorStatus();
  }
  return elevation.TokenIsElevated != 0 ? OkStatus() : Status::Failure(StatusKind::kRejected);
}

Status CheckElevated(DWORD process_id) {
  const UniqueKernelObject process(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process_id));
  if (!process) return LastErrorStatus();
  return CheckElevated(process.get());
}

Result<std::wstring> ProcessImagePath(HANDLE process) {
  return QueryPath([process](wchar_t* buffer, DWORD size) -> DWORD {
    DWORD length = size;
    if (QueryFullProcessImageNameW(process, 0, buffer, &length)) return length;
    // Too small a buffer: ask again with a larger one.
    return LastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
  });
}

}  // namespace kalvane
