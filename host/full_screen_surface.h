// The 8-bit 320 x 200 surface that full-screen presentation shows. While full screen is
// active, the line renderer and the sprite drawers write colour numbers here instead of into
// the frame image's picture.
#pragma once

#include <cstdint>

namespace quillon {

// Locks the surface, waiting until it is available, and returns the start of its memory, laid
// out as 200 rows of 320 bytes; null when it cannot be locked (the caller then skips its
// drawing).
std::uint8_t* LockFullScreenSurface();
void UnlockFullScreenSurface();

}  // namespace quillon
