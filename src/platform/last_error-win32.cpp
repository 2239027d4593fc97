#include "platform/last_error-win32.h"

#include <windows.h>
#include <winsock2.h>

namespace kalvane {

std::uint32_t LastError() { return GetLastError(); }

std::u16string SystemErrorText(std::uint32_t code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::u16string message(reinterpret_cast<const char16_t*>(text), length);
  LocalFree(text);
  return message;
}

std::uint32_t LastSocketError() { return static_cast<std::uint32_t>(WSAGetLastError()); }

}  // namespace kalvane
