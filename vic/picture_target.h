// Where the video side writes the display window: the frame image's picture, or the
// full-screen surface while full-screen presentation is active. Both are 200 rows of 320
// colour numbers, so the line renderer and the sprite drawers write them alike.
#pragma once

#include <cstdint>

namespace quillon {

// Returns the start of the target's row 0, locking the full-screen surface when that is the
// target; null when the surface cannot be locked, and the caller then skips its drawing.
std::uint8_t* LockPictureTarget();

// Ends a write begun by a successful LockPictureTarget.
void UnlockPictureTarget();

}  // namespace quillon
