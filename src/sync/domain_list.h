#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kalvane {

// One host-name/address pair of the service's list, as the service sent it (ANSI code page bytes).
struct DomainMapping {
  std::string host;
  std::string address;

  bool operator==(const DomainMapping&) const = default;
};

// The mapping list of a response, in the order of the response. An empty list leaves the hosts
// file as it is; the section goes at exit whenever the hosts file holds one, whatever the last
// list was.
using DomainList = std::vector<DomainMapping>;

// The list of one answer, shared by all that keep it (the cycle's report, the section guard, the
// status journal and window) rather than copied: an answer may hold a million rows.
using SharedDomainList = std::shared_ptr<const DomainList>;

}  // namespace kalvane
