#include "status/balloon_setting-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

TEST(BalloonSetting, AValueOfAnotherTypeReadsAsOn) {
  const auto put = [](DWORD type, const void* data, DWORD size) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Kalvane", L"Notifications", type, data,
                           size);
  };
  const DWORD off = 0;
  ASSERT_EQ(put(REG_DWORD, &off, sizeof(off)), ERROR_SUCCESS);
  // The value read, or "failed" when the read failed.
  const auto read = [] {
    const Result<bool> on = ReadBalloonsOn();
    return on.ok() ? (*on ? "on" : "off") : "failed";
  };
  EXPECT_STREQ(read(), "off");
  ASSERT_EQ(put(REG_SZ, L"0", sizeof(L"0")), ERROR_SUCCESS);
  EXPECT_STREQ(read(), "on");
  const char16_t sixteen_bits = 0;
  ASSERT_EQ(put(REG_DWORD, &sixteen_bits, sizeof(sixteen_bits)), ERROR_SUCCESS);
  EXPECT_STREQ(read(), "on") << "a value of another size";
  ASSERT_TRUE(WriteBalloonsOn(false).ok());
  EXPECT_STREQ(read(), "off");
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kalvane", L"Notifications");
  EXPECT_STREQ(read(), "on") << "no value: on";
}

}  // namespace
}  // namespace kalvane
