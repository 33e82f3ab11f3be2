#include <gtest/gtest.h>

#include <cstring>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "host/display.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

struct WindowSize {
  std::int32_t Width = 0;
  std::int32_t Height = 0;
};
WindowSize RequestedWindow;

class DisplayConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    Host.TraceMode = 0;
    RequestedWindow = {};
    DisplayPlatform = {};
    DisplayPlatform.ResizeMainWindow = [](std::int32_t width, std::int32_t height) {
      RequestedWindow = {width, height};
    };
    // A picture where every pixel and every line's border can be told apart.
    for (int y = 0; y < PictureHeight; ++y) {
      for (int x = 0; x < PictureWidth; ++x) {
        FrameImage.Picture[y * PictureWidth + x] = static_cast<std::uint8_t>((x / 3 + y) & 15);
      }
    }
    for (int line = 0; line < BorderTableLines; ++line) {
      FrameImage.LineBorderColor[line] = static_cast<std::uint8_t>(line * 7 & 15);
    }
  }
  void TearDown() override { FreeDisplayBuffer(); }

  // Picture pixel (x, y), y counted from the top, in the bottom-up display buffer.
  static std::uint32_t Pixel(int x, int y) {
    return Host.DisplayPixels[(Host.PictureHeight - 1 - y) * Host.PictureWidth + x];
  }
};

TEST_F(DisplayConversionTest, BorderedPictureShowsRasterLines30To269) {
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  EXPECT_EQ(Host.PictureWidth, 360);
  EXPECT_EQ(Host.PictureHeight, 240);
  EXPECT_EQ(RequestedWindow.Width, 366);
  EXPECT_EQ(RequestedWindow.Height, 284);
  ConvertFrame(Host.DisplayPixels);
  for (int r = 0; r < 240; ++r) {
    const std::uint32_t border = Palette[FrameImage.LineBorderColor[r + 30]];
    for (int x = 0; x < 360; ++x) {
      const bool window = r >= 20 && r < 220 && x >= 20 && x < 340;
      const std::uint32_t expected =
          window ? Palette[FrameImage.Picture[(r - 20) * PictureWidth + x - 20]] : border;
      ASSERT_EQ(Pixel(x, r), expected) << "x " << x << " row " << r;
    }
  }
  // Bottom-up rows: the first word in memory is the bottom-left pixel, raster line 269.
  EXPECT_EQ(Host.DisplayPixels[0], Palette[FrameImage.LineBorderColor[269]]);
}

TEST_F(DisplayConversionTest, BorderChangeShowsFromItsRasterLineWithinTheVisibleLines) {
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  std::memset(FrameImage.LineBorderColor, 6, 40);
  std::memset(FrameImage.LineBorderColor + 40, 2, BorderTableLines - 40);
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(Pixel(0, 9), Palette[6]);
  EXPECT_EQ(Pixel(359, 9), Palette[6]);
  EXPECT_EQ(Pixel(0, 10), Palette[2]);
  EXPECT_EQ(Pixel(359, 239), Palette[2]);

  // A change at line 20 happens above the top of the visible border.
  std::memset(FrameImage.LineBorderColor, 6, 20);
  std::memset(FrameImage.LineBorderColor + 20, 2, BorderTableLines - 20);
  ConvertFrame(Host.DisplayPixels);
  for (int r = 0; r < 240; ++r) ASSERT_EQ(Pixel(0, r), Palette[2]) << r;
}

TEST_F(DisplayConversionTest, PictureWithoutBorderIsTheDisplayWindowAlone) {
  Host.ShowBorder = 0;
  CreateDisplayBuffer();
  EXPECT_EQ(Host.PictureWidth, 320);
  EXPECT_EQ(Host.PictureHeight, 200);
  EXPECT_EQ(RequestedWindow.Width, 326);
  EXPECT_EQ(RequestedWindow.Height, 244);
  ConvertFrame(Host.DisplayPixels);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) {
      ASSERT_EQ(Pixel(x, y), Palette[FrameImage.Picture[y * PictureWidth + x]]);
    }
  }
  // A change of the border setting frees the buffer; the next one has the new size.
  FreeDisplayBuffer();
  EXPECT_EQ(Host.DisplayPixels, nullptr);
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  EXPECT_EQ(Host.PictureWidth * Host.PictureHeight, 360 * 240);
}

TEST_F(DisplayConversionTest, TraceViewAndStatusLineAreDrawnFirstWhileF12IsHeldOrTracing) {
  Host.ShowBorder = 0;
  CreateDisplayBuffer();
  Cpu.PC = 0xC000;
  MainRam[0xC000] = 0xEA;
  MainRam[0x02A6] = 1;
  Host.SpeedPercent = 304;
  Host.FrameSkip = 0;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(Pixel(0, 0), Palette[FrameImage.Picture[0]]);
  EXPECT_EQ(test::PictureRowText(0), std::string(40, '~'));

  HostKeyDown[VirtualKeyF12] = 1;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(test::PictureRowText(0), "$C000: $EA $.. $..: NOP         NV-BDIZC");
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:00 -  PAL 0304%");
  // The overlay reached the converted picture: the "$" glyph's top-left pixel row.
  for (int x = 0; x < 8; ++x) {
    const bool ink = RomImages.Chargen[0x24 * 8] & (0x80 >> x);
    EXPECT_EQ(Pixel(x, 0), ink ? Palette[1] : Palette[0]);
  }

  HostKeyDown[VirtualKeyF12] = 0;
  Host.TraceMode = 1;
  Cpu.PC = 0xC001;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(test::PictureRowText(0).substr(0, 6), "$C001:");
}

}  // namespace
}  // namespace quillon
