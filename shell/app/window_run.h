// The desktop run: the main window with its loop, on whichever backend fills the platform, with
// an optional file started as the program starts.
#pragma once

#include <cstdint>
#include <string>

#include "app/command_line.h"

namespace quillon {

// How the main window is first shown (the show command of the platform's entry).
inline constexpr std::int32_t ShowNormal = 1;

// Start-up, the main loop and shutdown, with the settings of the last run, the key queue and
// the screen saver held off, as the command line's window options ask: a cartridge in File is
// attached before the first reset, a program (or a disk image's first program) is started once
// BASIC waits for input, Disk is attached as drive 8's image, Warp starts the emulation in warp,
// Mute starts it silent. Returns the exit code: 1 when the emulator
// cannot be initialised, 0 when the window cannot be made, else the quit message's exit code.
std::int32_t RunMainWindow(const CommandLineOptions& options, void* previousInstance = nullptr,
                           std::int32_t showCommand = ShowNormal);

// The whole program as it starts without arguments, with the platform's entry arguments.
std::int32_t WinMain(void* instance, void* previousInstance, const char* commandLine,
                     std::int32_t showCommand);

}  // namespace quillon
