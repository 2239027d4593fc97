#include "sync/hosts_watch-win32.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "file_links-win32.h"
#include "platform/file_system-win32.h"
#include "scripted_pump.h"
#include "sync/hosts_store.h"
#include "sync/section_restore.h"

namespace kalvane {
namespace {

using testing::FileBytes;
using testing::PutFileBytes;

const SharedDomainList kTwo =
    std::make_shared<const DomainList>(DomainList{{"host1", "10.0.0.1"}, {"host2", "10.0.0.2"}});
const std::string kUserLines = "127.0.0.1 localhost\r\n";
const std::string kSection = "#BEGIN\r\n10.0.0.1 host1\r\n10.0.0.2 host2\r\n";

class Reports final : public RestoreObserver {
 public:
  void OnRestore(const RestoreReport& report) override { seen.push_back(report); }
  std::vector<RestoreReport> seen;
};

// Waits as the window thread does, on the watch's handle and the thread's messages, until a
// restore has been told; false when none is within ten seconds.
bool WaitForRestore(HostsWatch& watch, const Reports& reports) {
  const ULONGLONG end = GetTickCount64() + 10000;
  for (ULONGLONG now = GetTickCount64(); now < end && reports.seen.empty();
       now = GetTickCount64()) {
    HANDLE handle = watch.handle();
    const DWORD woke = MsgWaitForMultipleObjectsEx(handle != nullptr ? 1 : 0, &handle,
                                                   static_cast<DWORD>(end - now), QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0 && handle != nullptr) watch.OnSignalled();
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
  return !reports.seen.empty();
}

// The watch's own timer, on a window of its own, has the restore look once the folder is quiet:
// another program's change is put back, and the restore is told.
TEST(HostsWatchTest, AnOutsideChangeIsRestoredOnceTheFolderIsQuiet) {
  testing::ScratchFolder scratch{L"kalvane-watch"};
  const auto etc = scratch.root() / L"etc";
  const auto hosts = etc / L"hosts";
  std::filesystem::create_directories(etc.native());
  PutFileBytes(hosts, kUserLines);
  HostsStore store(MakeWin32FileSystem(), {hosts, scratch.root() / L"hosts.bak"});
  SectionRestore restore(store);
  Reports reports;
  testing::ScriptedPump clock;
  HostsWatch watch(hosts, restore, reports, clock);
  ASSERT_NE(watch.handle(), nullptr);

  // Our own write changes the folder too; the content shows it is ours and nothing is told.
  const HostsOutcome written = store.WriteHostsSection(kTwo);
  ASSERT_EQ(written.step, HostsStep::kWritten);
  restore.OnHostsStep(written);

  // Another program writes the file without the section and with a line of its own.
  const std::string outside = kUserLines + "10.9.9.9 av.example\r\n";
  PutFileBytes(hosts, outside);
  ASSERT_TRUE(WaitForRestore(watch, reports)) << "the outside change was not seen";
  ASSERT_EQ(reports.seen.size(), 1u);
  EXPECT_EQ(reports.seen[0].decision, GuardDecision::kRestore);
  EXPECT_EQ(reports.seen[0].hosts.step, HostsStep::kWritten);
  EXPECT_EQ(FileBytes(hosts), outside + kSection);

  restore.Stop();
  EXPECT_EQ(watch.handle(), nullptr) << "no longer waited on once the restore stopped";
}

}  // namespace
}  // namespace kalvane
