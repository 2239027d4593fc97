#include "sync/hosts_paths-win32.h"

#include <windows.h>

#include <utility>

#include "platform/file_system-win32.h"

namespace kalvane {

HostsPaths WindowsHostsPaths() {
  HostsPaths paths;
  if (const auto system = SystemDirectory()) {
    paths.hosts = std::filesystem::path(*system + L"\\drivers\\etc\\hosts");
  }
  if (const auto folder = ProgramFolder()) paths.working_copy = *folder / L"hosts.bak";
  return paths;
}

HostsStore MakeWindowsHostsStore(std::string service_host) {
  return HostsStore(MakeWin32FileSystem(), WindowsHostsPaths(), FlushResolverCache,
                    std::move(service_host),
                    [] { return static_cast<std::uint32_t>(GetLastError()); });
}

}  // namespace kalvane
