#include "debug/status_line.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "session/session.h"

namespace quillon {

namespace {

constexpr int GlyphSize = 8;
constexpr std::int32_t GlyphCodeMask = 0xFF;  // 256 glyphs, the first 2 KB of the image
constexpr std::uint8_t ColourMask = 0x0F;
constexpr int StatusRow = TextRows - 1;
constexpr int StatusColumn = 23;
constexpr int MarkerColumn = 37;
constexpr std::uint8_t DigitZero = 0x30;  // screen codes of "0" to "9" follow
// Where the KERNAL notes the video standard it found at its last start (nonzero for PAL).
constexpr std::uint16_t KernalPalFlag = 0x02A6;

}  // namespace

void DrawGlyph(std::int32_t code, std::int32_t column, std::int32_t row, std::int32_t foreground,
               std::int32_t background) {
  Machine& machine = CurrentMachine();
  std::uint8_t* picture = machine.Picture();
  if (picture == nullptr || column < 0 || column >= TextColumns || row < 0 ||
      row >= TextRows) {
    return;
  }
  const std::uint8_t* glyph = machine.CharacterRom() + (code & GlyphCodeMask) * GlyphSize;
  std::uint8_t* cell = picture + row * GlyphSize * PictureWidth + column * GlyphSize;
  const auto ink = static_cast<std::uint8_t>(foreground & ColourMask);
  const auto paper = static_cast<std::uint8_t>(background & ColourMask);
  for (int k = 0; k < GlyphSize; ++k) {
    for (int x = 0; x < GlyphSize; ++x) {
      cell[k * PictureWidth + x] = (glyph[k] & (0x80 >> x)) ? ink : paper;
    }
  }
}

void DrawTextAt(const char* text, std::int32_t column, std::int32_t row,
                std::int32_t foreground, std::int32_t background) {
  for (; *text != '\0'; ++text, ++column) {
    DrawGlyph(*text & 0x3F, column, row, foreground, background);
  }
}

void DrawHexByte(std::uint8_t value, std::int32_t column, std::int32_t row,
                 std::int32_t foreground, std::int32_t background) {
  for (int digit : {value >> 4, value & 0x0F}) {
    // Screen codes 1-6 are the letters A-F.
    DrawGlyph(digit < 10 ? DigitZero + digit : digit - 9, column++, row, foreground, background);
  }
}

void DrawStatusLine(std::int32_t speedPercent, std::int32_t frameSkip) {
  const std::uint8_t* ram = CurrentMachine().Ram();
  const bool pal = ram != nullptr && ram[KernalPalFlag] != 0;
  char text[48];
  std::snprintf(text, sizeof text, "S:%02d - %s%04d%%", frameSkip, pal ? " PAL " : "NTSC ",
                speedPercent);
  // A longer reading (warp runs far beyond 10000) moves the line left, so that every digit shows.
  const auto length = static_cast<std::int32_t>(std::strlen(text));
  DrawTextAt(text, std::min(StatusColumn, TextColumns - length), StatusRow, TextWhite, TextBlack);
}

void DrawRasterMarker(std::uint16_t rasterCompare) {
  // The compare register holds up to $FFFF until the KERNAL sets it: only the last three
  // decimal digits are shown.
  int value = rasterCompare % 1000;
  for (int column = MarkerColumn + 2; column >= MarkerColumn; --column, value /= 10) {
    DrawGlyph(DigitZero + value % 10, column, StatusRow, TextWhite, TextBlack);
  }
}

}  // namespace quillon
