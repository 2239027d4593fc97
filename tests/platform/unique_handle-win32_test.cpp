#include "platform/unique_handle-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

bool IsOpenHandle(HANDLE handle) {
  DWORD flags = 0;
  return GetHandleInformation(handle, &flags) != FALSE;
}

TEST(UniqueHandle, PutFreesTheHeldHandleAndOwnsWhatTheCallWritesThere) {
  UniqueKernelObject held(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(held);
  const HANDLE first = held.get();

  HANDLE* slot = held.put();
  EXPECT_FALSE(IsOpenHandle(first)) << "put() leaked the handle it held";
  EXPECT_EQ(*slot, nullptr);
  EXPECT_FALSE(held);

  ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), slot,
                              0, FALSE, DUPLICATE_SAME_ACCESS));
  EXPECT_TRUE(held);
  EXPECT_TRUE(IsOpenHandle(held.get()));
}

}  // namespace
}  // namespace kalvane
