#include "host/full_screen_surface.h"

namespace quillon {

std::uint8_t* LockFullScreenSurface() { return nullptr; }
void UnlockFullScreenSurface() {}

std::uint8_t* (*FullScreenSurfaceLock)() = LockFullScreenSurface;
void (*FullScreenSurfaceUnlock)() = UnlockFullScreenSurface;

}  // namespace quillon
