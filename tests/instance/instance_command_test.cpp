#include "instance/instance_command.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
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
  using enum HostsStep;
  const auto done = [](HostsStep step) { return HostsOutcome::Done(step); };
  const auto failed = [](HostsStep step, StatusKind kind = StatusKind::kFailed) {
    return HostsOutcome::Failed(step, Status::Failure(kind));
  };
  const std::pair<HostsOutcome, int> cases[] = {
      {done(kWritten), kCommandDone},
      {done(kUnchanged), kCommandDone},
      {done(kNotTouched), kCommandDone},
      {failed(kRead, StatusKind::kNotFound), kCommandDone},  // no hosts file
      {failed(kLocate, StatusKind::kNotFound), kCommandFailed},
      {failed(kRead), kCommandFailed},
      {failed(kRead, StatusKind::kRejected), kCommandFailed},
      {failed(kTempFile, StatusKind::kNotFound), kCommandFailed},
      {failed(kReplace), kCommandFailed},
      {failed(kVerify), kCommandFailed},
      {failed(kPutBack), kCommandFailed},
      {failed(kCompose, StatusKind::kOutOfMemory), kCommandFailed},
  };
  for (const auto& [outcome, code] : cases) {
    EXPECT_EQ(CleanupExitCode(outcome), code) << static_cast<int>(outcome.step);
  }
}

}  // namespace
}  // namespace kalvane
