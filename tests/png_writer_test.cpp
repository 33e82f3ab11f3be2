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

// The file's width, height, then its pixels as 0x00RRGGBB; empty when it cannot be read.
std::vector<std::uint32_t> ReadPngRgb(const std::string& path) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  std::vector<std::uint32_t> result = {image.width, image.height};
  for (std::size_t i = 0; i < rgb.size(); i += 3) result.push_back(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]);
  return result;
}

TEST(PngWriter, WritesBuffersByStrideAndTheFrameImageThroughThePalette) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("quillon-png-" + std::to_string(getpid()) + ".png")).string();
  const std::uint32_t pixels[10] = {0x112233, 0x445566, 0x778899, 0xDEAD, 0xBEEF,
                                    0xAABBCC, 0xDDEEFF, 0x010203, 0xDEAD, 0xBEEF};
  ASSERT_TRUE(WritePng(path, pixels, 3, 2, 5));  // 3 x 2 pixels in rows of 5
  EXPECT_EQ(ReadPngRgb(path), (std::vector<std::uint32_t>{3, 2, 0x112233, 0x445566, 0x778899,
                                                          0xAABBCC, 0xDDEEFF, 0x010203}));
  ASSERT_TRUE(WritePng(path, pixels + 5, 3, 2, -5));  // stored bottom-up
  EXPECT_EQ(ReadPngRgb(path), (std::vector<std::uint32_t>{3, 2, 0xAABBCC, 0xDDEEFF, 0x010203,
                                                          0x112233, 0x445566, 0x778899}));

  test::PowerOnMachine();
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) FrameImage.Picture[i] = (i / 7) % 16;
  ASSERT_TRUE(WriteFrameImagePng(path));
  const std::vector<std::uint32_t> frame = ReadPngRgb(path);
  std::filesystem::remove(path);
  ASSERT_EQ(frame.size(), 2u + 320 * 200);
  EXPECT_EQ(frame[0] * 1000 + frame[1], 320200u);
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) ASSERT_EQ(frame[2 + i], Palette[(i / 7) % 16]);

  EXPECT_FALSE(WritePng(path, pixels, 3, 2, -2)) << "a stride shorter than a row";
  EXPECT_FALSE(WritePng(path, nullptr, 3, 2, 5));
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_FALSE(WritePng("/nonexistent-directory/picture.png", pixels, 3, 2, 5));
}

}  // namespace
}  // namespace quillon
