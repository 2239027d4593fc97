#include "platform/input_wait-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

// The main loop serves a signalled handle without any message coming, and its handler may end
// the loop; a handle that is not signalled is not served.
TEST(InputWaitTest, TheMainLoopServesTheHandleAndEndsOnQuit) {
  const UniqueKernelObject signalled(CreateEventW(nullptr, FALSE, TRUE, nullptr));
  ASSERT_TRUE(signalled);
  int served = 0;
  InputWait wait;
  wait.Serve([&] { return signalled.get(); },
             [&] {
               ++served;
               PostQuitMessage(7);
             });
  EXPECT_EQ(RunMessageLoop(nullptr, wait), 7);
  EXPECT_EQ(served, 1);

  // Not signalled: a queued message ends the wait, and the handler does not run.
  const UniqueKernelObject quiet(CreateEventW(nullptr, FALSE, FALSE, nullptr));
  wait.Serve([&] { return quiet.get(); }, [&] { ++served; });
  PostQuitMessage(3);
  EXPECT_EQ(RunMessageLoop(nullptr, wait), 3);
  EXPECT_EQ(served, 1);
}

}  // namespace
}  // namespace kalvane
