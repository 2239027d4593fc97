#include "app/instance_control-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "file_links-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {
namespace {

using namespace std::chrono_literals;

// Pumps this thread's messages until a WM_CLOSE reaches `window` or `timeout` passes.
bool CloseArrives(HWND window, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.hwnd == window && message.message == WM_CLOSE) return true;
      DispatchMessageW(&message);
    }
    Sleep(20);
  }
  return false;
}

// The request closes the window the way its close box does, once; before it, and without an
// event, nothing does.
TEST(ExitRequestListener, ASignalClosesTheWindowAsItsCloseBoxWould) {
  HWND window = CreateWindowExW(0, L"STATIC", L"exit request", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  const UniqueKernelObject request(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  {
    const ExitRequestListener listener(request.get(), window);
    const ExitRequestListener without(nullptr, window);
    EXPECT_FALSE(CloseArrives(window, 300ms)) << "closed before any request";
    SetEvent(request.get());
    EXPECT_TRUE(CloseArrives(window, 5s));
    EXPECT_FALSE(CloseArrives(window, 300ms)) << "asked twice";
  }
  DestroyWindow(window);
}

// A process is told by the file its image is, not by its name: a copy of the same program
// elsewhere is another file.
TEST(ProcessRunsImage, TellsTheRunningFileFromACopyOfIt) {
  wchar_t own[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(nullptr, own, MAX_PATH), 0u);
  testing::ScratchFolder scratch(L"kalvane-image");
  const auto copy = scratch.root() / L"Kalvane.exe";
  ASSERT_TRUE(CopyFileW(own, copy.c_str(), TRUE));

  const UniqueKernelObject self(
      OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentProcessId()));
  ASSERT_TRUE(self);
  EXPECT_TRUE(ProcessRunsImage(self.get(), own));
  EXPECT_FALSE(ProcessRunsImage(self.get(), copy));
  EXPECT_FALSE(ProcessRunsImage(self.get(), scratch.root() / L"missing.exe"));
}

}  // namespace
}  // namespace kalvane
