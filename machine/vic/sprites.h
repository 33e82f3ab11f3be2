// The eight sprites, drawn over the finished frame.
#pragma once

#include <cstdint>

namespace quillon {

// Draws every enabled sprite, sprite 7 first so that sprite 0 ends up in front.
void DrawSprites();

// Draws the 24 x 21 dots of the sprite data at `dataAddress` (63 bytes of RAM, 3 per row).
// The expansion flags double the dots' width and height; the drawer adds 256 x `xHigh` to `x`
// (the register's X - 24). `x` and `y` are picture coordinates of the top-left dot and may lie
// outside the window; every pixel is clipped to it on its own.
void DrawHiresSprite(std::uint8_t color, std::uint16_t dataAddress, int expandX, int expandY,
                     int xHigh, int x, int y);

// As DrawHiresSprite, with bit pairs giving double-width dots: 01 takes `multicolor0`, 10 the
// sprite's `color`, 11 `multicolor1`; 00 is transparent.
void DrawMulticolorSprite(std::uint8_t color, std::uint8_t multicolor0, std::uint8_t multicolor1,
                          std::uint16_t dataAddress, int expandX, int expandY, int xHigh, int x,
                          int y);

}  // namespace quillon
