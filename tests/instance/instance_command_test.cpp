#include "instance/instance_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kalvane {
namespace {

using Kind = InstanceCommand::Kind;

TEST(ParseInstanceCommand, TheSwitchesAndEverythingElse) {
  struct Case {
    std::vector<std::u16string> arguments;
    std::optional<InstanceCommand> expected;
  };
  const Case cases[] = {
      {{}, std::nullopt},  // the usual start (the logon task passes nothing)
      {{u"/close"}, InstanceCommand{Kind::kClose, {}}},
      {{u"/CLOSE"}, InstanceCommand{Kind::kClose, {}}},
      {{u"/close", u"C:\\Program Files\\Kalvane"},
       InstanceCommand{Kind::kClose, u"C:\\Program Files\\Kalvane"}},
      {{u"/close", u""}, InstanceCommand{Kind::kUsage, {}}},
      {{u"/close", u"a", u"b"}, InstanceCommand{Kind::kUsage, {}}},
      {{u"/Cleanup"}, InstanceCommand{Kind::kCleanup, {}}},
      {{u"/cleanup", u"C:\\"}, InstanceCommand{Kind::kUsage, {}}},
      {{u"/SECURE"}, InstanceCommand{Kind::kSecure, {}}},
      {{u"/secure", u"abc.txt"}, InstanceCommand{Kind::kUsage, {}}},
      // Not a switch of ours: the program starts as it always did.
      {{u"/closer"}, std::nullopt},
      {{u"/secur"}, std::nullopt},
      {{u"-close"}, std::nullopt},
      {{u"x", u"/close"}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.empty() ? std::string("(none)")
                                     : std::string(c.arguments[0].begin(), c.arguments[0].end()));
    EXPECT_EQ(ParseInstanceCommand(c.arguments), c.expected);
  }
}

// /cleanup is done when the hosts file holds no section afterwards, a missing hosts file included;
// every outcome that may leave a section behind is a failure.
TEST(CleanupExitCode, DoneOnlyWhenNoSectionCanBeLeft) {
  const std::pair<HostsOutcome, int> cases[] = {
      {HostsOutcome::kWritten, kCommandDone},
      {HostsOutcome::kUnchanged, kCommandDone},
      {HostsOutcome::kNotTouched, kCommandDone},
      {HostsOutcome::kHostsMissing, kCommandDone},
      {HostsOutcome::kNoHostsPath, kCommandFailed},
      {HostsOutcome::kHostsUnreadable, kCommandFailed},
      {HostsOutcome::kHostsNotText, kCommandFailed},
      {HostsOutcome::kTempFileFailed, kCommandFailed},
      {HostsOutcome::kReplaceFailed, kCommandFailed},
      {HostsOutcome::kVerifyFailed, kCommandFailed},
      {HostsOutcome::kRestoreFailed, kCommandFailed},
      {HostsOutcome::kInternalError, kCommandFailed},
  };
  for (const auto& [outcome, code] : cases) {
    EXPECT_EQ(CleanupExitCode(outcome), code) << static_cast<int>(outcome);
  }
}

}  // namespace
}  // namespace kalvane
