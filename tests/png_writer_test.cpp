#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/png/png_writer.h"
#include "support/machine.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

std::string TempPngPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("quillon-") + name + "-" + std::to_string(getpid()) + ".png"))
      .string();
}

// The file read back as 8-bit RGB, row by row; empty when it is not a readable PNG.
std::vector<std::uint8_t> ReadPngRgb(const std::string& path, png_uint_32& width,
                                     png_uint_32& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  width = image.width;
  height = image.height;
  return rgb;
}

TEST(PngWriter, FrameImageIsWrittenThroughThePalette) {
  test::PowerOnMachine();
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
    FrameImage.Picture[i] = static_cast<std::uint8_t>((i / 7) % 16);
  }
  const std::string path = TempPngPath("frame");
  ASSERT_TRUE(WriteFrameImagePng(path));
  png_uint_32 width = 0, height = 0;
  const std::vector<std::uint8_t> rgb = ReadPngRgb(path, width, height);
  std::filesystem::remove(path);
  ASSERT_EQ(width, 320u);
  ASSERT_EQ(height, 200u);
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
    const std::uint32_t color = Palette[(i / 7) % 16];
    ASSERT_EQ(rgb[3 * i], (color >> 16) & 0xFF) << "pixel " << i;
    ASSERT_EQ(rgb[3 * i + 1], (color >> 8) & 0xFF);
    ASSERT_EQ(rgb[3 * i + 2], color & 0xFF);
  }
}

TEST(PngWriter, BufferRowsFollowTheStrideAndBadArgumentsFail) {
  // 3 x 2 pixels in rows of 5.
  const std::uint32_t pixels[10] = {0x00112233, 0x00445566, 0x00778899, 0xDEAD, 0xBEEF,
                                    0x00AABBCC, 0x00DDEEFF, 0x00010203, 0xDEAD, 0xBEEF};
  const std::string path = TempPngPath("buffer");
  ASSERT_TRUE(WritePng(path, pixels, 3, 2, 5));
  png_uint_32 width = 0, height = 0;
  const std::vector<std::uint8_t> rgb = ReadPngRgb(path, width, height);
  std::filesystem::remove(path);
  ASSERT_EQ(width, 3u);
  ASSERT_EQ(height, 2u);
  const std::vector<std::uint8_t> expected = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99,
                                              0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x02, 0x03};
  EXPECT_EQ(rgb, expected);

  EXPECT_FALSE(WritePng(path, pixels, 3, 2, 2)) << "a stride shorter than a row";
  EXPECT_FALSE(WritePng(path, pixels, 0, 2, 5));
  EXPECT_FALSE(WritePng(path, nullptr, 3, 2, 5));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(WritePng("/nonexistent-directory/picture.png", pixels, 3, 2, 5));
}

}  // namespace
}  // namespace quillon
