#pragma once

#include "base/status.h"

namespace kalvane {

// Takes the program's own folder (and the current one) out of the DLL search: DLLs loaded by name
// from now on, by this program or by the system's libraries on its behalf, come from the system
// folder only. The program runs elevated from a folder its user may write, where a planted
// "version.dll" or "uxtheme.dll" would otherwise run with administrator rights. Call it first,
// before anything loads a DLL on demand. A failure when only the current folder could be taken
// out.
Status RestrictDllSearchToSystemFolder();

}  // namespace kalvane
