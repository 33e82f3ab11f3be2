// Pictures written as PNG files.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Writes `width` x `height` pixels of 0x00RRGGBB as an 8-bit RGB PNG, top row first. Row r
// starts at pixels + r x `stride` (in pixels); for a buffer stored bottom-up, pass its last row
// and a negative stride. Returns false when the arguments describe no picture or the file
// cannot be written.
bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride);

// Writes a machine's 320 x 200 picture of colour numbers, turned into the palette's colours.
bool WritePicturePng(const std::string& path, const std::uint8_t* picture);

}  // namespace quillon
