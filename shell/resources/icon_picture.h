// The program's icon: the letter Q of the C64's character set in white on the C64's blue
// screen inside its light blue border, drawn from the character ROM's glyph.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr std::uint32_t IconResourceId = 1;
// The sizes the icon resource carries, in pixels (square).
inline constexpr int IconSizes[] = {16, 32, 48};

// Draws the icon `size` x `size` pixels into `pixels` as 0x00RRGGBB, top row first.
void DrawIconPicture(std::uint32_t* pixels, int size);

}  // namespace quillon
