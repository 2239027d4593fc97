#include "status/balloon_setting-win32.h"

#include <windows.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

constexpr wchar_t kKey[] = L"Software\\Kalvane";
constexpr wchar_t kValue[] = L"Notifications";

struct RegistryKeyTraits {
  using Handle = HKEY;
  static Handle Invalid() { return nullptr; }
  static void Close(Handle h) { RegCloseKey(h); }
};

}  // namespace

Result<bool> ReadBalloonsOn() {
  DWORD value = 1;
  DWORD size = sizeof(value);
  // RRF_RT_REG_DWORD refuses a value of another type (ERROR_UNSUPPORTED_TYPE); Wine gives a
  // shorter one all the same, hence the size.
  const LSTATUS read =
      RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &value, &size);
  switch (read) {
    case ERROR_SUCCESS:
      return size != sizeof(value) || value != 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_UNSUPPORTED_TYPE:
    case ERROR_DATATYPE_MISMATCH:
    case ERROR_MORE_DATA:
      return true;  // no choice of the user's
    default:
      return Status::Failure(StatusKind::kFailed, static_cast<std::uint32_t>(read));
  }
}

Status WriteBalloonsOn(bool on) {
  HKEY created = nullptr;
  const LSTATUS opened =
      RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &created, nullptr);
  if (opened != ERROR_SUCCESS) return Status::Failure(StatusKind::kFailed, opened);
  const UniqueHandle<RegistryKeyTraits> key(created);
  const DWORD value = on ? 1 : 0;
  const LSTATUS written = RegSetValueExW(key.get(), kValue, 0, REG_DWORD,
                                         reinterpret_cast<const BYTE*>(&value), sizeof(value));
  if (written != ERROR_SUCCESS) return Status::Failure(StatusKind::kFailed, written);
  return OkStatus();
}

}  // namespace kalvane
