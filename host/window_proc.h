// The main window's procedure: the menu commands, the PC keyboard as the C64 keyboard, the host
// keys F12 and Esc, the screen saver while running, and the paint of the display buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "host/platform.h"

namespace quillon {

// Returns 0 for every message it handles, otherwise what the platform's default does.
std::intptr_t MainWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                             std::intptr_t lParam);

// Rewrites the menu item `command` of sub-menu `subMenu` with its own text, checked or not.
void SetMenuCheck(int subMenu, std::uint32_t command, bool checked);

// The open-file dialog with `filter` over a buffer of FileNameCapacity characters that offers
// its present contents; nonzero when the user picked an existing file, whose path it then holds.
std::int32_t OpenFileDialog(const char* filter, char* fileName);

}  // namespace quillon
