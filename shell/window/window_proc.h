// The main window's procedure: the menu commands, the PC keyboard as the C64 keyboard, the host
// keys F12 and Esc, the screen saver while running, and the paint of the display buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace quillon {

// Returns 0 for every message it handles, otherwise what the platform's default does.
std::intptr_t MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);

}  // namespace quillon
