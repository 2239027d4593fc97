#pragma once

// The program's command-line switches for its installer and uninstaller:
//
//   Kalvane.exe /close [folder]   asks the running Kalvane of this machine to remove its hosts
//                                 section and end, and waits for it (at most 20 s). A Kalvane
//                                 too old to know that request is recognised by its image,
//                                 folder\Kalvane.exe, and closed through its window; the folder
//                                 is the one this Kalvane.exe lies in unless given (the
//                                 installer runs the new version's /close from a temporary
//                                 folder and names the installation's).
//   Kalvane.exe /cleanup          removes the hosts file's "#BEGIN" section, if there is one,
//                                 with no window and no network.
//   Kalvane.exe /secure           writes the abc.txt beside it again as a private file, the same
//                                 bytes, when others may open it, as the program does when it
//                                 loads the file at start (an upgrade runs it).
//
// A switch is the first argument, in any letter case. A command line that does not start with
// one starts the program as usual, whatever follows.

#include <optional>
#include <span>
#include <string>

#include "sync/hosts_store.h"

namespace kalvane {

// Exit codes of the switches. Failed: a Kalvane still runs, or whether one does cannot be told
// (not elevated); a section may be left in the hosts file; abc.txt is still open to others.
inline constexpr int kCommandDone = 0;    // no Kalvane runs / no section is left / private
inline constexpr int kCommandFailed = 1;  // see above
inline constexpr int kCommandUsage = 2;   // a switch with arguments it does not take

struct InstanceCommand {
  enum class Kind { kClose, kCleanup, kSecure, kUsage };
  Kind kind = Kind::kUsage;
  std::u16string folder;  // /close: the installation's folder; empty for the program's own

  bool operator==(const InstanceCommand&) const = default;
};

// The command in `arguments` (those after the program's name), or nothing for a normal start.
std::optional<InstanceCommand> ParseInstanceCommand(std::span<const std::u16string> arguments);

// The exit code of /cleanup after the clean-up step ended with `outcome`: done when the hosts
// file holds no section afterwards (there was none, or it went, or there is no hosts file).
int CleanupExitCode(const HostsOutcome& outcome);

}  // namespace kalvane
