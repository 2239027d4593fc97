#include "sync/hosts_paths-win32.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

#include "http/service_endpoint.h"
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

HostsStore MakeWindowsHostsStore(RefusedHosts refused) {
  return HostsStore(MakeWin32FileSystem(), WindowsHostsPaths(), FlushResolverCache,
                    std::move(refused));
}

namespace {

// The computer name of `format` in the ANSI code page, as the hosts file holds names; nothing
// when the system cannot give it.
std::optional<std::string> ComputerName(COMPUTER_NAME_FORMAT format) {
  DWORD size = 0;
  (void)GetComputerNameExA(format, nullptr, &size);
  if (size == 0) return std::nullopt;
  std::string name(size, '\0');
  if (!GetComputerNameExA(format, name.data(), &size)) return std::nullopt;
  name.resize(size);
  return name;
}

}  // namespace

RefusedHosts RefusedHostsOfThisMachine() {
  RefusedHosts refused(kServiceHost);
  for (const auto format : {ComputerNameDnsHostname, ComputerNameNetBIOS}) {
    if (auto name = ComputerName(format); name && !name->empty()) {
      refused.computer_names.push_back(std::move(*name));
    }
  }
  return refused;
}

}  // namespace kalvane
