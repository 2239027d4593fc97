#include "instance/instance_command.h"

#include <algorithm>
#include <utility>

#include "base/text.h"

namespace kalvane {
namespace {

bool IsSwitch(std::u16string_view argument, std::u16string_view name) {
  return argument.starts_with(u'/') && EqualsAsciiNoCase(argument.substr(1), name);
}

}  // namespace

std::optional<InstanceCommand> ParseInstanceCommand(std::span<const std::u16string> arguments) {
  using Kind = InstanceCommand::Kind;
  if (arguments.empty()) return std::nullopt;
  if (IsSwitch(arguments[0], u"close")) {
    if (arguments.size() == 1) return InstanceCommand{Kind::kClose, {}};
    if (arguments.size() == 2 && !arguments[1].empty()) {
      return InstanceCommand{Kind::kClose, arguments[1]};
    }
    return InstanceCommand{Kind::kUsage, {}};
  }
  for (const auto& [name, kind] :
       {std::pair{u"cleanup", Kind::kCleanup}, std::pair{u"secure", Kind::kSecure}}) {
    if (IsSwitch(arguments[0], name)) {
      return InstanceCommand{arguments.size() == 1 ? kind : Kind::kUsage, {}};
    }
  }
  return std::nullopt;
}

int CleanupExitCode(const HostsOutcome& outcome) {
  const bool no_hosts_file =
      outcome.step == HostsStep::kRead && outcome.status == StatusKind::kNotFound;
  return outcome.ok() || no_hosts_file ? kCommandDone : kCommandFailed;
}

}  // namespace kalvane
