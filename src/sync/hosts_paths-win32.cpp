#include "sync/hosts_paths-win32.h"

#include <windows.h>

#include <utility>

#include "platform/file_system-win32.h"
#include "platform/known_folders-win32.h"
#include "platform/system_function-win32.h"
#include "platform/unique_handle-win32.h"

namespace kalvane {

HostsPaths WindowsHostsPaths() {
  HostsPaths paths;
  if (const auto system = SystemDirectory()) {
    paths.hosts = FilePath(*system + L"\\drivers\\etc\\hosts");
  }
  if (const auto folder = ProgramFolder()) paths.working_copy = *folder / L"hosts.bak";
  return paths;
}

void FlushResolverCache() {
  // From the system folder only: this program runs elevated, and its own folder may be writable.
  UniqueModule dnsapi(LoadLibraryExW(L"dnsapi.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
  if (!dnsapi) return;
  using FlushFunction = BOOL(WINAPI*)();
  if (const auto flush = FunctionIn<FlushFunction>(dnsapi.get(), "DnsFlushResolverCache")) flush();
}

HostsStore MakeWindowsHostsStore(std::string service_host) {
  return HostsStore(MakeWin32FileSystem(), WindowsHostsPaths(), FlushResolverCache,
                    std::move(service_host));
}

}  // namespace kalvane
