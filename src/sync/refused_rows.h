#pragma once

// Rows of the service's list that are never written into the hosts file, and why. The service
// speaks plain HTTP, so whoever sits on the network path can forge its answer: a row must not
// take over a name the machine itself finds other things by.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sync/domain_list.h"

namespace kalvane {

// Why a row is not written; kNone for a row that is.
enum class RowRefusal : std::uint8_t {
  kNone,
  kControlCharacter,  // a control character other than TAB could end the line or add lines
  kServiceHost,
  kProxyDiscovery,   // wpad
  kTunnelDiscovery,  // isatap
  kLocalHost,
  kComputerName,
  kOtherHost,  // one of RefusedHosts::others
};

// The names the machine gives at run time; the fixed ones are in the table in the .cpp file.
struct RefusedHosts {
  RefusedHosts() = default;
  // The service's host alone, as the tests and the clean-up need it.
  RefusedHosts(std::string_view service) : service_host(service) {}
  RefusedHosts(const std::string& service) : service_host(service) {}
  RefusedHosts(const char* service) : service_host(service) {}

  std::string service_host;
  std::vector<std::string> computer_names;  // the machine's own names (DNS host, NetBIOS)
  // More names the program depends on, e.g. the proxy host in use, once one is configured.
  std::vector<std::string> others;
};

// Why `mapping` is not written, kNone when it is. A row is refused when its host name or its
// address holds a control character other than TAB, or when the line it makes ("address host",
// fields parted by spaces and TABs, as the resolver reads them) names a refused host in any
// field: in any letter case, with or without one trailing dot, and for wpad, isatap and localhost
// every name that starts with them and a dot too ("wpad.corp.example").
RowRefusal RefusalOf(const DomainMapping& mapping, const RefusedHosts& refused);

// True when the hosts line names `host` as one of its fields, compared as above. An empty `host`
// is named by no line.
bool LineNamesHost(std::string_view line, std::string_view host);

}  // namespace kalvane
