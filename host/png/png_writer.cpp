#include "host/png/png_writer.h"

#include <png.h>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vic/frame_image.h"

namespace quillon {

bool WritePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride) {
  if (pixels == nullptr || width <= 0 || height <= 0 || std::abs(stride) < width) return false;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  std::uint8_t* out = rgb.data();
  for (int row = 0; row < height; ++row) {
    const std::uint32_t* in = pixels + static_cast<std::ptrdiff_t>(row) * stride;
    for (int column = 0; column < width; ++column) {
      const std::uint32_t pixel = in[column];
      *out++ = static_cast<std::uint8_t>(pixel >> 16);
      *out++ = static_cast<std::uint8_t>(pixel >> 8);
      *out++ = static_cast<std::uint8_t>(pixel);
    }
  }

  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGB;
  // The simplified interface releases its own resources when it fails.
  return png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr) != 0;
}

bool WriteFrameImagePng(const std::string& path) {
  if (FrameImage.Picture == nullptr) return false;
  std::vector<std::uint32_t> pixels(static_cast<std::size_t>(PictureWidth) * PictureHeight);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    pixels[i] = Palette[FrameImage.Picture[i] & 0x0F];
  }
  return WritePng(path, pixels.data(), PictureWidth, PictureHeight, PictureWidth);
}

}  // namespace quillon
