#include "platform/process_info-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace kalvane {
namespace {

TEST(ProcessInfo, AProcessThatCannotBeAskedIsNeitherElevatedNorRefusedAsUnelevated) {
  // Process ids are multiples of four: this one names no process.
  const Status gone = CheckElevated(DWORD{0xFFFFFFF1});
  EXPECT_EQ(gone.kind(), StatusKind::kFailed);
  EXPECT_NE(gone.system_error(), 0u);
  const Status own = CheckElevated(GetCurrentProcessId());
  EXPECT_TRUE(own.ok() || own == StatusKind::kRejected) << own.system_error();
}

}  // namespace
}  // namespace kalvane
