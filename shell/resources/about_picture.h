// Bitmap 105, the About dialog's 320 x 200 picture: the program's name in large C64 letters
// over a rainbow band, on the C64's blue screen, drawn from the character ROM's glyphs.
#pragma once

#include <cstdint>

#include "resources/about_dialog.h"

namespace quillon {

// Draws the picture into `pixels`, AboutPictureWidth x AboutPictureHeight pixels as
// 0x00RRGGBB, top row first.
void DrawAboutPicture(std::uint32_t* pixels);

}  // namespace quillon
