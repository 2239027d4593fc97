#pragma once

// Resource ids, shared by kalvane.rc and the C++ code: plain #defines so that windres reads them.

// The icon of a good update: one 128x128 32-bit image. The lowest icon id, so it is the program's
// icon.
#define IDI_UPDATED 101
// The icon of a failed update: 48, 32 and 16 px at 4 and 8 bpp; 128, 48, 32 and 16 px at 32 bpp.
#define IDI_FAILED 102
// The steady icon of an unconfirmed account where blinking is off: 128, 48, 32 and 16 px at 32 bpp.
#define IDI_UNCONFIRMED 103
