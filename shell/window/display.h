// Bringing the emulated picture to the screen: the 32-bit display buffer that a window shows,
// and full-screen presentation of the 8-bit surface that the renderers write into directly.
#pragma once

#include <cstdint>

#include "platform/display_platform.h"

namespace quillon {

inline constexpr std::int32_t FullScreenWidth = 320;
inline constexpr std::int32_t FullScreenHeight = 200;
inline constexpr int FullScreenPaletteSize = 256;

// Valid while full screen is on, and after it was on once.
struct FullScreenState {
  DisplayMode SavedMode;
  WindowRect SavedWindowRect;
  FullScreenPaletteEntry PaletteEntries[FullScreenPaletteSize];
  // The 8-bit surface: 200 rows of 320 colour numbers, top row first.
  std::uint8_t Surface[FullScreenWidth * FullScreenHeight];
};
extern FullScreenState FullScreen;

// Makes the display buffer for the current border setting (360 x 240 with border, 320 x 200
// without) and asks for a main window that fits it.
void CreateDisplayBuffer();
// Frees the display buffer; the next main-loop pass makes a new one.
void FreeDisplayBuffer();
// Turns the frame image (and the border colours around it, when the buffer has room for them)
// into 32-bit pixels, rows bottom-up. Draws the trace view and the status line into the frame
// image first while F12 is held or trace mode is on.
void ConvertFrame(std::uint32_t* pixels);

// Full screen is entered by EnterFullScreen, then CreateFlipChain, which has the machine draw
// its display window into the surface, and CreateFullScreenPalette.
// EnterFullScreen returns false, with the cursor shown again, when the display could not be
// taken; full screen then stays off and the other two are not called.
bool EnterFullScreen();
void CreateFlipChain();
void CreateFullScreenPalette();
// Shows the surface; called after every main-loop pass while full screen is active.
void PresentFullScreen();
// Restores the desktop's display mode, the window's place and the cursor, and has the machine
// draw into its own picture again.
void LeaveFullScreen();

}  // namespace quillon
