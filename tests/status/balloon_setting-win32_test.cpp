#include "status/balloon_setting-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

TEST(BalloonSetting, AValueOfAnotherTypeReadsAsOn) {
  constexpr wchar_t kKey[] = L"Software\\Kalvane";
  const auto put = [&](DWORD type, const void* data, DWORD size) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Notifications", type, data, size);
  };
  const DWORD off = 0;
  const wchar_t text[] = L"0";
  const unsigned long long wide = 0;
  ASSERT_EQ(put(REG_DWORD, &off, sizeof(off)), ERROR_SUCCESS);
  EXPECT_FALSE(ReadBalloonsOn());
  ASSERT_EQ(put(REG_SZ, text, sizeof(text)), ERROR_SUCCESS);
  EXPECT_TRUE(ReadBalloonsOn());
  ASSERT_EQ(put(REG_QWORD, &wide, sizeof(wide)), ERROR_SUCCESS);
  EXPECT_TRUE(ReadBalloonsOn());
  ASSERT_TRUE(WriteBalloonsOn(false));
  EXPECT_FALSE(ReadBalloonsOn());
  ASSERT_TRUE(WriteBalloonsOn(true));
  EXPECT_TRUE(ReadBalloonsOn());
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Notifications");
  EXPECT_TRUE(ReadBalloonsOn()) << "no value: on";
}

}  // namespace
}  // namespace kalvane
