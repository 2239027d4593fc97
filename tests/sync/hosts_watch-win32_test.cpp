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

const DomainList kTwo = {{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}};
const std::string kUserLines = "127.0.0.1 localhost\r\n";
const std::string kSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

// Waits as the window thread does, on the watch's handle and the thread's messages, until the
// folder has changed and then been quiet (`settled` is set); false when that does not happen
// within ten seconds.
bool WaitForSettledChange(HostsWatch& watch, bool& settled) {
  settled = false;
  const ULONGLONG end = GetTickCount64() + 10000;
  for (ULONGLONG now = GetTickCount64(); now < end && !settled; now = GetTickCount64()) {
    HANDLE handle = watch.handle();
    if (handle == nullptr) return false;
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &handle, static_cast<DWORD>(end - now),
                                                   QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) watch.OnSignalled();
    MSG message;
    while (!settled && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageW(&message);
    }
  }
  return settled;
}

TEST(HostsWatchTest, AnOutsideChangeIsRestoredAndOurOwnWriteIsLeftAlone) {
  testing::ScratchFolder scratch{L"kalvane-watch"};
  const auto etc = scratch.root() / L"etc";
  const auto hosts = etc / L"hosts";
  std::filesystem::create_directories(etc.native());
  PutFileBytes(hosts, kUserLines);
  HostsStore store(MakeWin32FileSystem(), {hosts, scratch.root() / L"hosts.bak"});
  SectionGuard guard("dns.kalvane.example");
  {
    bool settled = false;
    HostsWatch watch(hosts, [&settled] { settled = true; });
    ASSERT_NE(watch.handle(), nullptr);

    // Our own write changes the folder too; the content shows it is ours.
    const HostsStepReport written = store.WriteHostsSection(kTwo);
    ASSERT_EQ(written.outcome, HostsOutcome::kWritten);
    guard.OnHostsStep(std::make_shared<const DomainList>(kTwo), written);
    ASSERT_TRUE(WaitForSettledChange(watch, settled)) << "our own write was not seen at all";
    EXPECT_EQ(guard.OnHostsChanged(FileBytes(hosts).value_or(""), MonotonicClock::now()),
              GuardDecision::kNothing);

    // Another program writes the file without the section and with a line of its own.
    const std::string outside = kUserLines + "10.9.9.9 av.example\r\n";
    PutFileBytes(hosts, outside);
    ASSERT_TRUE(WaitForSettledChange(watch, settled)) << "the outside change was not seen";
    ASSERT_EQ(guard.OnHostsChanged(FileBytes(hosts).value_or(""), MonotonicClock::now()),
              GuardDecision::kRestore);
    EXPECT_EQ(store.WriteHostsSection(*guard.Mappings()).outcome, HostsOutcome::kWritten);
    EXPECT_EQ(FileBytes(hosts), outside + kSection);

    watch.Stop();
    EXPECT_EQ(watch.handle(), nullptr);
  }
}

}  // namespace
}  // namespace kalvane
