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

// A handle kind whose freeing sets the thread's last error, as closesocket or a failing CloseHandle
// can.
struct ErrorSettingTraits {
  using Handle = int;
  static Handle Invalid() { return 0; }
  static void Close(Handle) { SetLastError(ERROR_INVALID_HANDLE); }
};

TEST(UniqueHandle, FreeingKeepsTheCallersLastError) {
  UniqueHandle<ErrorSettingTraits> held(1);
  SetLastError(ERROR_FILE_NOT_FOUND);
  held.reset(2);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "reset";
  {
    const UniqueHandle<ErrorSettingTraits> going_out_of_scope(3);
    SetLastError(ERROR_ACCESS_DENIED);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "destructor";
}

}  // namespace
}  // namespace kalvane
