#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "sync/hosts_store.h"

namespace kalvane {

// The Windows system directory (GetSystemDirectoryW), or nothing when the call fails.
std::optional<std::wstring> SystemDirectory();

// The folder of the running executable, however long its path; nothing when it is unknown.
std::optional<std::filesystem::path> ProgramFolder();

// Empties the DNS resolver cache so that a new hosts file takes effect at once. Does nothing on a
// system whose dnsapi.dll lacks DnsFlushResolverCache.
void FlushResolverCache();

// The hosts file layer on the Win32 file API.
std::unique_ptr<HostsFileSystem> MakeWin32HostsFileSystem();

// The system directory + "\drivers\etc\hosts" and the program folder + "\hosts.bak"; a path whose
// folder is unknown stays empty (the steps then report it and touch nothing).
HostsPaths WindowsHostsPaths();

// The program's hosts section on the real paths; the resolver cache is flushed after each change.
HostsStore MakeWindowsHostsStore();

}  // namespace kalvane
