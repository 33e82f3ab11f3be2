// The accurate VIC-II's picture, a raster line at a time: the graphics sequencer's output in
// every mode (display and idle state), the sprites over or under it, the border and the
// collisions the line's pixels make. It is fed what the chip fetched for the line, so that
// drawing eight pixels a cycle can take its place without touching the chip's timing.
#pragma once

#include <cstdint>

namespace quillon::accurate {

// What the chip reads: 64 KB of RAM, the 1 KB of colour RAM (low nibbles) and the character
// ROM, which it sees at $1000-$1FFF of banks 0 and 2.
struct VicMemory {
  const std::uint8_t* Ram;
  const std::uint8_t* ColorRam;
  const std::uint8_t* CharacterRom;
};

// The byte at 14-bit address `address` of `bank`, as the chip sees it.
std::uint8_t VicFetch(const VicMemory& memory, std::uint8_t bank, unsigned address);

// What one raster line is drawn from.
struct LineInput {
  const VicMemory* Memory;
  const std::uint8_t* Registers;  // $D000-$D03F as written
  std::uint8_t Bank;
  // The video matrix line the c-accesses filled: character codes (or bitmap colours) and
  // colour nibbles.
  const std::uint8_t* MatrixLine;
  const std::uint8_t* ColorLine;
  bool DisplayState;      // the sequencer was in display state (else idle)
  std::uint16_t Vc;       // VC at the start of the line's g-accesses
  std::uint8_t Rc;
  bool VerticalBorder;
  std::uint8_t SpriteDisplay;      // a bit for each sprite shown on the line
  const std::uint32_t* SpriteData;  // eight rows of 24 bits, the first pixel in bit 23
  std::uint16_t LeftmostX;          // sprite X from here on lies left of X = 0 by XWrap
  std::uint16_t XWrap;
};

// The collisions the line's pixels make: a bit for each sprite involved.
struct LineCollisions {
  std::uint8_t SpriteSprite;
  std::uint8_t SpriteBackground;
};

// Draws the display window's part of the line into `row`, PictureWidth colour numbers.
LineCollisions DrawWindowLine(const LineInput& in, std::uint8_t* row);

}  // namespace quillon::accurate
