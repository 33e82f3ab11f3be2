#include "host/full_screen_surface.h"

namespace quillon {

std::uint8_t* LockFullScreenSurface() { return nullptr; }
void UnlockFullScreenSurface() {}

}  // namespace quillon
