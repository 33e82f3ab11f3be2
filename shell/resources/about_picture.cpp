#include "resources/about_picture.h"

#include <cstring>

#include "resources/canvas.h"

namespace quillon {
namespace {

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

// `text` in upper-case C64 letters, each glyph pixel a `scale` x `scale` square, centred on the
// picture's width with its top at `top`.
void DrawText(Canvas& canvas, const char* text, int top, int scale, std::uint8_t colour) {
  const int width = static_cast<int>(std::strlen(text)) * GlyphSize * scale;
  int left = (AboutPictureWidth - width) / 2;
  for (; *text != '\0'; ++text, left += GlyphSize * scale) {
    // Letters, digits, the blank and the usual punctuation have their ASCII code's low six
    // bits as screen code.
    canvas.Glyph(static_cast<std::uint8_t>(*text & 0x3F), left, top, scale, colour);
  }
}

}  // namespace

void DrawAboutPicture(std::uint32_t* pixels) {
  Canvas canvas{pixels, AboutPictureWidth};
  canvas.Fill(0, 0, AboutPictureWidth, AboutPictureHeight, LightBlue);
  canvas.Fill(FrameSize, FrameSize, AboutPictureWidth - 2 * FrameSize,
              AboutPictureHeight - 2 * FrameSize, Blue);
  DrawText(canvas, "QUILLON", TitleTop, TitleScale, White);
  int top = TitleTop + GlyphSize * TitleScale + GlyphSize;
  for (std::uint8_t colour : RainbowColours) {
    canvas.Fill(RainbowMargin, top, AboutPictureWidth - 2 * RainbowMargin, RainbowBand, colour);
    top += RainbowBand;
  }
  DrawText(canvas, "A COMMODORE 64 EMULATOR", SubtitleTop, 1, LightBlue);
  DrawText(canvas, "3RD PUBLIC BETA", EditionTop, 1, Yellow);
  DrawText(canvas, "READY.", PromptTop, 1, LightBlue);
}

}  // namespace quillon
