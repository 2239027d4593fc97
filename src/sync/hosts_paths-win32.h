#pragma once

#include <string>

#include "sync/hosts_store.h"

namespace kalvane {

// The system directory + "\drivers\etc\hosts" and the program folder + "\hosts.bak"; a path whose
// folder is unknown stays empty (the steps then report it and touch nothing).
HostsPaths WindowsHostsPaths();

// Empties the DNS resolver cache so that a new hosts file takes effect at once. Does nothing on a
// system whose dnsapi.dll lacks DnsFlushResolverCache.
void FlushResolverCache();

// The program's hosts section on the real paths; the resolver cache is flushed after each change,
// rows `refused` refuses are never written, and failures carry GetLastError's code.
HostsStore MakeWindowsHostsStore(RefusedHosts refused);

// The names no row may map on this machine: the domain service's host and the machine's own
// computer names (its DNS host name and its NetBIOS name).
RefusedHosts RefusedHostsOfThisMachine();

}  // namespace kalvane
