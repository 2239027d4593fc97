#include "platform/last_error-win32.h"

#include <windows.h>
#include <winsock2.h>

namespace kalvane {

std::uint32_t LastError() { return GetLastError(); }

std::uint32_t LastSocketError() { return static_cast<std::uint32_t>(WSAGetLastError()); }

}  // namespace kalvane
