#pragma once

#include <windows.h>

namespace kalvane {

// How OpenAsDesktopUser handed the target on.
enum class ShellOpenPath {
  kDesktopShell,      // to the desktop shell, which runs it with the shell's own (unelevated) token
  kShellUnreachable,  // there is no desktop shell to ask (Explorer is not running): nothing started
};

// Opens `target` (a web page) the way the user's desktop would. This program runs elevated;
// started by it directly, the browser would run with the administrator's token, and the http
// handler's command would come from the merged class registry, whose per-user part any
// unelevated process of the user can write. The shell's desktop window runs as the user: through
// its IShellDispatch2 the browser starts from there, and from nowhere else. COM is initialised as
// an apartment on the calling thread for the call, which must be a window thread. What then
// happens to the target (no browser, no association) is not examined.
ShellOpenPath OpenAsDesktopUser(const wchar_t* target);

}  // namespace kalvane
