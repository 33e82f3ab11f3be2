// What the display code needs from the platform: the main window's size and place, the mouse
// cursor, the desktop's display mode, and the exclusive full-screen display that shows an 8-bit
// picture through a 16-colour palette. A backend fills the operations it supports; an empty
// operation means the platform cannot do it (no window to resize, no full screen to take).
#pragma once

#include <cstdint>

namespace quillon {

// What the main window's outer size allows around the picture for the frame, the caption and
// the menu bar: the shell asks for a window that much larger than the client area it wants.
inline constexpr std::int32_t WindowFrameWidth = 6;
inline constexpr std::int32_t WindowFrameHeight = 44;

struct DisplayMode {
  std::int32_t Width;
  std::int32_t Height;
  std::int32_t BitsPerPixel;
};

// A window's rectangle in screen coordinates.
struct WindowRect {
  std::int32_t Left;
  std::int32_t Top;
  std::int32_t Right;
  std::int32_t Bottom;
};

// What a window's size is remembered by: its client area as it is when neither maximised nor
// minimised, and whether it is maximised (or minimised from maximised, so that it comes back
// maximised).
struct WindowPlacement {
  std::int32_t NormalWidth;
  std::int32_t NormalHeight;
  bool Maximized;
};

struct FullScreenPaletteEntry {
  std::uint8_t Red;
  std::uint8_t Green;
  std::uint8_t Blue;
  std::uint8_t Flags;
};

struct DisplayPlatformOps {
  // Changes the main window's outer size; its position and stacking order stay.
  void (*ResizeMainWindow)(std::int32_t outerWidth, std::int32_t outerHeight);
  // Hides the mouse cursor (false) or shows it again (true).
  void (*ShowMouseCursor)(bool visible);
  DisplayMode (*ReadDesktopMode)();
  WindowRect (*ReadMainWindowRect)();
  // Moves the main window to `rect` and repaints it.
  void (*MoveMainWindow)(const WindowRect& rect);
  // The main window's placement; null where windows are neither maximised nor minimised, and
  // the client area is all there is to remember.
  WindowPlacement (*ReadWindowPlacement)();
  // Maximises the main window, which keeps its normal size for when it is restored.
  void (*MaximizeMainWindow)();
  // Takes the display for exclusive full-screen use by the main window; false when it cannot
  // be had.
  bool (*AcquireFullScreen)();
  // Gives the display back to the desktop (normal, shared use).
  void (*ReleaseFullScreen)();
  void (*SetDisplayMode)(const DisplayMode& mode);
  // Shows `width` x `height` colour numbers, top row first, through the 256-entry palette;
  // false when the picture could not be shown this time.
  bool (*PresentIndexedPicture)(const std::uint8_t* pixels, std::int32_t width,
                                std::int32_t height, const FullScreenPaletteEntry* palette);
  // Makes the display buffer as a bitmap of the platform's own that the paint draws from:
  // `width` x `height` 32-bit pixels, rows bottom-up, and returns its pixels; null when the
  // platform cannot, and the shell then keeps the pixels in memory of its own. FreePictureBuffer
  // frees it.
  std::uint32_t* (*CreatePictureBuffer)(std::int32_t width, std::int32_t height);
  void (*FreePictureBuffer)();
};

// Filled by the backend before the main loop starts; tests install their own.
extern DisplayPlatformOps DisplayPlatform;

}  // namespace quillon
