#include "sync/hosts_watch-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "file_links-win32.h"
#include "platform/file_system-win32.h"
#include "sync/hosts_store.h"
#include "sync/section_guard.h"

namespace kalvane {
namespace {

using testing::FileBytes;
using testing::PutFileBytes;

const SharedDomainList kTwo =
    std::make_shared<const DomainList>(DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}});
const std::string kUserLines = "127.0.0.1 localhost\r\n";
const std::string kSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

// Waits as the window thread does, on the watch's handle and the thread's messages, until the
// folder has changed and then been quiet; false when that does not happen within ten seconds.
bool WaitForSettledChange(HostsWatch& watch) {
  const ULONGLONG end = GetTickCount64() + 10000;
  for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
    HANDLE handle = watch.handle();
    if (handle == nullptr) return false;
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &handle, static_cast<DWORD>(end - now),
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) watch.OnSignalled();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_TIMER && watch.OnTimer(message.wParam)) return true;
      DispatchMessageW(&message);
    }
  }
  return false;
}

TEST(HostsWatchTest, AnOutsideChangeIsRestoredAndOurOwnWriteIsLeftAlone) {
  testing::ScratchFolder scratch{L"kalvane-watch"};
  const auto etc = scratch.root() / L"etc";
  const auto hosts = etc / L"hosts";
  std::filesystem::create_directories(etc.native());
  PutFileBytes(hosts, kUserLines);
  HostsStore store(MakeWin32FileSystem(), {hosts, scratch.root() / L"hosts.bak"});
  SectionGuard guard;
  HWND window = CreateWindowExW(0, L"STATIC", L"Kalvane watch test", WS_OVERLAPPED, 0, 0, 100, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);
  {
    HostsWatch watch(window, hosts);
    ASSERT_NE(watch.handle(), nullptr);

    // Our own write changes the folder too; the content shows it is ours.
    const HostsOutcome written = store.WriteHostsSection(kTwo);
    ASSERT_EQ(written.step, HostsStep::kWritten);
    guard.OnHostsStep(written);
    ASSERT_TRUE(WaitForSettledChange(watch)) << "our own write was not seen at all";
    EXPECT_EQ(guard.OnHostsChanged(FileBytes(hosts).value_or(""), MonotonicClock::now()),
              GuardDecision::kNothing);

    // Another program writes the file without the section and with a line of its own.
    const std::string outside = kUserLines + "10.9.9.9 av.example\r\n";
    PutFileBytes(hosts, outside);
    ASSERT_TRUE(WaitForSettledChange(watch)) << "the outside change was not seen";
    ASSERT_EQ(guard.OnHostsChanged(FileBytes(hosts).value_or(""), MonotonicClock::now()),
              GuardDecision::kRestore);
    EXPECT_EQ(store.WriteHostsSection(guard.Mappings()).step, HostsStep::kWritten);
    EXPECT_EQ(FileBytes(hosts), outside + kSection);

    watch.Stop();
    EXPECT_EQ(watch.handle(), nullptr);
  }
  DestroyWindow(window);
}

}  // namespace
}  // namespace kalvane
