// Reads a screenshot of the C64's 320 x 200 display window (a binary PPM on standard input) and
// prints its 25 text rows, each 8 x 8 cell read against the character ROM's glyphs in whatever
// two colours it shows: a blank cell reads as a space, a cell that matches no glyph as '~'.
// The end-to-end tests of the desktop programs read what the emulator shows with it.
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "core/rom_images.h"

namespace {

constexpr int Width = 320;
constexpr int Height = 200;
constexpr int Cell = 8;

struct Rgb {
  std::uint8_t Red, Green, Blue;
  bool operator==(const Rgb&) const = default;
};

bool ReadPpm(std::istream& in, std::vector<Rgb>& pixels) {
  std::string magic;
  int width = 0, height = 0, maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  if (magic != "P6" || width != Width || height != Height || maximum != 255) return false;
  pixels.resize(Width * Height);
  return static_cast<bool>(in.read(reinterpret_cast<char*>(pixels.data()), Width * Height * 3));
}

char ScreenCodeText(int code) {
  if (code == 0) return '@';
  if (code <= 26) return static_cast<char>('A' + code - 1);
  if (code == 27) return '[';
  if (code == 29) return ']';
  if (code >= 32 && code < 64) return static_cast<char>(code);
  return '~';
}

// The cell's pixels that show `ink` as an 8 x 8 bit pattern, left pixel in bit 7.
void InkPattern(const std::vector<Rgb>& pixels, int column, int row, Rgb ink,
                std::uint8_t* pattern) {
  for (int y = 0; y < Cell; ++y) {
    pattern[y] = 0;
    for (int x = 0; x < Cell; ++x) {
      if (pixels[(row * Cell + y) * Width + column * Cell + x] == ink) pattern[y] |= 0x80 >> x;
    }
  }
}

char ReadCell(const std::vector<Rgb>& pixels, int column, int row) {
  const Rgb first = pixels[row * Cell * Width + column * Cell];
  Rgb colours[2] = {first, first};
  for (int y = 0; y < Cell; ++y) {
    for (int x = 0; x < Cell; ++x) {
      const Rgb pixel = pixels[(row * Cell + y) * Width + column * Cell + x];
      if (pixel == colours[0]) continue;
      if (colours[1] == colours[0]) {
        colours[1] = pixel;
      } else if (!(pixel == colours[1])) {
        return '~';  // three colours: no text cell
      }
    }
  }
  if (colours[1] == colours[0]) return ' ';
  for (const Rgb& ink : colours) {
    std::uint8_t pattern[Cell];
    InkPattern(pixels, column, row, ink, pattern);
    for (int code = 0; code < 128; ++code) {
      const std::uint8_t* glyph = quillon::RomImages.Chargen + code * Cell;
      bool same = true;
      for (int y = 0; y < Cell && same; ++y) same = glyph[y] == pattern[y];
      if (same) return ScreenCodeText(code);
    }
  }
  return '~';
}

}  // namespace

int main() {
  std::vector<Rgb> pixels;
  if (!ReadPpm(std::cin, pixels)) {
    std::fprintf(stderr, "picture_text: expected a 320 x 200 binary PPM on standard input\n");
    return 2;
  }
  for (int row = 0; row < Height / Cell; ++row) {
    std::string text;
    for (int column = 0; column < Width / Cell; ++column) text += ReadCell(pixels, column, row);
    text.erase(text.find_last_not_of(' ') + 1);
    std::printf("%s\n", text.c_str());
  }
  return 0;
}
