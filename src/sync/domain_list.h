#pragma once

#include <string>
#include <vector>

namespace kalvane {

// One host-name/address pair of the service's list, as the service sent it (ANSI code page bytes).
struct DomainMapping {
  std::string host;
  std::string address;

  bool operator==(const DomainMapping&) const = default;
};

// The mapping list of the last response read, in the order of the response. Its size is the
// domain count: the hosts section is written, and removed at exit, only while it is non-empty.
using DomainList = std::vector<DomainMapping>;

}  // namespace kalvane
