#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "base/file_system.h"

namespace kalvane {

// The Windows system directory (GetSystemDirectoryW), or nothing when the call fails.
std::optional<std::wstring> SystemDirectory();

// The folder of the running executable, however long its path; nothing when it is unknown.
std::optional<std::filesystem::path> ProgramFolder();

// Empties the DNS resolver cache so that a new hosts file takes effect at once. Does nothing on a
// system whose dnsapi.dll lacks DnsFlushResolverCache.
void FlushResolverCache();

// The file operations on the Win32 file API.
std::unique_ptr<FileSystem> MakeWin32FileSystem();

}  // namespace kalvane
