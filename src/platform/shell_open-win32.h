#pragma once

#include <windows.h>

namespace kalvane {

// How OpenAsDesktopUser handed the target on.
enum class ShellOpenPath {
  kDesktopShell,  // to the desktop shell, which runs it with the shell's own (unelevated) token
  kShellExecute,  // the shell could not be reached: ShellExecuteW, with this process's token
};

// Opens `target` (a web page) the way the user's desktop would. This program runs elevated;
// started by it directly, the browser would run with the administrator's token. The shell's
// desktop window runs as the user: through its IShellDispatch2 the browser starts from there.
// COM is initialised as an apartment on the calling thread for the call, which must be a window
// thread. What then happens to the target (no browser, no association) is not examined.
ShellOpenPath OpenAsDesktopUser(HWND owner, const wchar_t* target);

}  // namespace kalvane
