#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/rom_images.h"
#include "resources/about_picture.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

TEST(AboutPicture, ShowsTheNameInLargeC64LettersInC64Colours) {
  std::vector<std::uint32_t> pixels(AboutPictureWidth * AboutPictureHeight, 0xFFFFFFFF);
  DrawAboutPicture(pixels.data());
  for (std::uint32_t pixel : pixels) {
    ASSERT_NE(std::find(std::begin(Palette), std::end(Palette), pixel), std::end(Palette));
  }
  // A light blue frame around a blue screen.
  EXPECT_EQ(pixels[0], Palette[14]);
  EXPECT_EQ(pixels[AboutPictureWidth * AboutPictureHeight - 1], Palette[14]);
  EXPECT_EQ(pixels[20 * AboutPictureWidth + 20], Palette[6]);

  // "QUILLON", each glyph pixel a white 4 x 4 square, centred with its top at row 36.
  const char name[] = "QUILLON";
  const int left = (AboutPictureWidth - 7 * 32) / 2;
  for (int letter = 0; letter < 7; ++letter) {
    const std::uint8_t* glyph = RomImages.Chargen + (name[letter] & 0x3F) * 8;
    for (int row = 0; row < 8; ++row) {
      for (int bit = 0; bit < 8; ++bit) {
        const std::uint32_t pixel =
            pixels[(36 + row * 4 + 2) * AboutPictureWidth + left + letter * 32 + bit * 4 + 2];
        EXPECT_EQ(pixel == Palette[1], (glyph[row] & (0x80 >> bit)) != 0)
            << name[letter] << " row " << row << " bit " << bit;
      }
    }
  }
}

}  // namespace
}  // namespace quillon
