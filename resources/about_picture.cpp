#include "resources/about_picture.h"

#include <cstring>

#include "core/rom_images.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

constexpr int GlyphSize = 8;
constexpr int FrameSize = 12;
constexpr std::uint8_t Blue = 6;
constexpr std::uint8_t LightBlue = 14;
constexpr std::uint8_t White = 1;
constexpr std::uint8_t Yellow = 7;
// The rainbow under the name, one colour per band, red through to blue.
constexpr std::uint8_t RainbowColours[] = {2, 8, 7, 5, 3, 14, 4};
constexpr int RainbowBand = 4;
// The layout from the top: the name four times the size of C64 text, the rainbow as wide as the
// screen less its margins, two lines of text, and BASIC's prompt.
constexpr int TitleTop = 36;
constexpr int TitleScale = 4;
constexpr int RainbowMargin = 48;
constexpr int SubtitleTop = 114;
constexpr int EditionTop = 134;
constexpr int PromptTop = 164;

struct Canvas {
  std::uint32_t* Pixels;

  void Fill(int left, int top, int width, int height, std::uint8_t colour) {
    for (int y = top; y < top + height; ++y) {
      for (int x = left; x < left + width; ++x) Pixels[y * AboutPictureWidth + x] = Palette[colour];
    }
  }

  // `text` in upper-case C64 letters, each glyph pixel a `scale` x `scale` square, centred on
  // the picture's width with its top at `top`.
  void Text(const char* text, int top, int scale, std::uint8_t colour) {
    const int width = static_cast<int>(std::strlen(text)) * GlyphSize * scale;
    int left = (AboutPictureWidth - width) / 2;
    for (; *text != '\0'; ++text, left += GlyphSize * scale) {
      // Letters, digits, the blank and the usual punctuation have their ASCII code's low six
      // bits as screen code.
      const std::uint8_t* glyph = RomImages.Chargen + (*text & 0x3F) * GlyphSize;
      for (int row = 0; row < GlyphSize; ++row) {
        for (int bit = 0; bit < GlyphSize; ++bit) {
          if (glyph[row] & (0x80 >> bit)) {
            Fill(left + bit * scale, top + row * scale, scale, scale, colour);
          }
        }
      }
    }
  }
};

}  // namespace

void DrawAboutPicture(std::uint32_t* pixels) {
  Canvas canvas{pixels};
  canvas.Fill(0, 0, AboutPictureWidth, AboutPictureHeight, LightBlue);
  canvas.Fill(FrameSize, FrameSize, AboutPictureWidth - 2 * FrameSize,
              AboutPictureHeight - 2 * FrameSize, Blue);
  canvas.Text("QUILLON", TitleTop, TitleScale, White);
  int top = TitleTop + GlyphSize * TitleScale + GlyphSize;
  for (std::uint8_t colour : RainbowColours) {
    canvas.Fill(RainbowMargin, top, AboutPictureWidth - 2 * RainbowMargin, RainbowBand, colour);
    top += RainbowBand;
  }
  canvas.Text("A COMMODORE 64 EMULATOR", SubtitleTop, 1, LightBlue);
  canvas.Text("3RD PUBLIC BETA", EditionTop, 1, Yellow);
  canvas.Text("READY.", PromptTop, 1, LightBlue);
}

}  // namespace quillon
