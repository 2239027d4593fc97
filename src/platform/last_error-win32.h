#pragma once

// The one place that reads the calling thread's last system error. Read it right after the call
// that failed: any later call, even one that succeeds or only frees a handle, may overwrite it.

#include <cstdint>
#include <string>

#include "base/status.h"

namespace kalvane {

// The last error of the Win32 call just made.
std::uint32_t LastError();
// The last error of the Winsock call just made.
std::uint32_t LastSocketError();

// The system's own words for `code`, a Win32 or Winsock error code; empty when it has none.
std::u16string SystemErrorText(std::uint32_t code);

// A failure of `kind` carrying the last error of the Win32 call just made.
inline Status LastErrorStatus(StatusKind kind = StatusKind::kFailed) {
  return Status::Failure(kind, LastError());
}
// The same for the Winsock call just made.
inline Status LastSocketErrorStatus() {
  return Status::Failure(StatusKind::kFailed, LastSocketError());
}

}  // namespace kalvane
