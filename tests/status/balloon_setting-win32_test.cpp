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
  EXPECT_FALSE(ReadBalloonsOn());
  ASSERT_EQ(put(REG_SZ, L"0", sizeof(L"0")), ERROR_SUCCESS);
  EXPECT_TRUE(ReadBalloonsOn());
  ASSERT_TRUE(WriteBalloonsOn(false));
  EXPECT_FALSE(ReadBalloonsOn());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Kalvane", L"Notifications");
  EXPECT_TRUE(ReadBalloonsOn()) << "no value: on";
}

}  // namespace
}  // namespace kalvane
