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

bool ReadBalloonsOn() {
  DWORD value = 1;
  DWORD size = sizeof(value);
  // RRF_RT_REG_DWORD refuses a value of another type (ERROR_UNSUPPORTED_TYPE) or size.
  const LSTATUS read =
      RegGetValueW(HKEY_CURRENT_USER, kKey, kValue, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return read != ERROR_SUCCESS || value != 0;
}

bool WriteBalloonsOn(bool on) {
  HKEY created = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &created, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const UniqueHandle<RegistryKeyTraits> key(created);
  const DWORD value = on ? 1 : 0;
  return RegSetValueExW(key.get(), kValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof(value)) == ERROR_SUCCESS;
}

}  // namespace kalvane
