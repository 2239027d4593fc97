#pragma once

// Resource ids, shared by kalvane.rc and the C++ code: plain #defines so that windres reads them.

// The success icon: one 128x128 32-bit image. The lowest icon id, so it is the program's icon.
#define IDI_PICTURE1 101
// The failure icon: 48, 32 and 16 px at 4 and 8 bpp; 128, 48, 32 and 16 px at 32 bpp.
#define IDI_PICTURE2 102
