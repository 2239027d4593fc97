#pragma once

// Whether the tray shows balloons: the user's choice under HKCU\Software\Kalvane, value
// "Notifications" (REG_DWORD, 0 off, anything else on). Kept out of "abc.txt", which is the
// machine's account; this is the user's taste.

#include "base/status.h"

namespace kalvane {

// On unless the user turned them off: a missing value, or one of another type or size, reads as
// on. The failure of the read when the registry could not be read at all.
Result<bool> ReadBalloonsOn();
// Fails when the choice could not be kept; it then holds for this run only.
Status WriteBalloonsOn(bool on);

}  // namespace kalvane
