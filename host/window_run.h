// The desktop run: the main window with its loop, on whichever backend fills the platform, with
// an optional file started as the program starts.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// How the main window is first shown (the show command of the platform's entry).
inline constexpr std::int32_t ShowNormal = 1;

// Start-up, the main loop and shutdown, as WinMain does them. A cartridge in `file` is attached
// before the first reset; a program, or a disk image's first program, is started once BASIC
// waits for input; `disk` is attached as drive 8's image. Returns the exit code. Empty names
// run the program as it starts without arguments.
std::int32_t RunMainWindow(const std::string& file, const std::string& disk = "");

}  // namespace quillon
