#include "sync/refused_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalvane {
namespace {

using enum RowRefusal;
using namespace std::string_literals;

// A forged answer must not take over what the machine finds by name: every refused name, in any
// letter case, with a trailing dot, in either field or as an alias, and the names next to them
// that are written all the same.
TEST(RefusedRows, RefusesNamesThatWouldTakeOverTheMachine) {
  RefusedHosts refused("dns.kalvane.example");
  refused.computer_names = {"DESKTOP-1.corp.example", "DESKTOP-1"};
  refused.others = {"proxy.corp.example"};
  const struct {
    DomainMapping row;
    RowRefusal expected;
  } cases[] = {
      {{"host1", "10.0.0.1"}, kNone},
      {{"wpad", "6.6.6.6"}, kProxyDiscovery},
      {{"WPAD.corp.example.", "6.6.6.6"}, kProxyDiscovery},
      {{"alias\tWpad", "6.6.6.6"}, kProxyDiscovery},
      {{"host1", "6.6.6.6 wpad.example"}, kProxyDiscovery},
      {{"isatap", "6.6.6.6"}, kTunnelDiscovery},
      {{"ISATAP.corp", "6.6.6.6"}, kTunnelDiscovery},
      {{"wpad..", "6.6.6.6"}, kProxyDiscovery},  // still "wpad." and more
      {{"localhost", "6.6.6.6"}, kLocalHost},
      {{"LocalHost.localdomain", "6.6.6.6"}, kLocalHost},
      {{"desktop-1", "6.6.6.6"}, kComputerName},
      {{"desktop-1.CORP.example.", "6.6.6.6"}, kComputerName},
      {{"Proxy.corp.example", "6.6.6.6"}, kOtherHost},
      {{"dns.kalvane.example", "6.6.6.6"}, kServiceHost},
      {{"nul"s + '\0', "6.6.6.6"}, kControlCharacter},
      // Not those names: they merely contain them, or come in another form.
      {{"wpadx", "10.0.0.2"}, kNone},
      {{"my-wpad.example", "10.0.0.3"}, kNone},
      {{"xn--wpad-abc", "10.0.0.4"}, kNone},
      {{"localhost6x", "10.0.0.6"}, kNone},
      {{"desktop-1.other.example", "10.0.0.7"}, kNone},
      {{"tab\there", "10.0.0.8"}, kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RefusalOf(c.row, refused), c.expected) << c.row.host << " " << c.row.address;
  }
  // Without names known at run time only the fixed ones are refused.
  EXPECT_EQ(RefusalOf({"desktop-1", "10.0.0.9"}, {}), kNone);
  EXPECT_EQ(RefusalOf({"wpad", "10.0.0.9"}, {}), kProxyDiscovery);
}

}  // namespace
}  // namespace kalvane
