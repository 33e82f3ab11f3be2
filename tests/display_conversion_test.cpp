#include <gtest/gtest.h>

#include <cstring>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "host/display.h"
#include "host/host_state.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

std::int32_t RequestedSize;

// A machine whose every picture pixel and every line's border colour can be told apart from
// its neighbours, and a display buffer with or without the border.
void StartDisplay(bool border) {
  test::PowerOnMachine();
  DisplayPlatform = {};
  DisplayPlatform.ResizeMainWindow = [](std::int32_t width, std::int32_t height) {
    RequestedSize = width * 1000 + height;
  };
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) {
    FrameImage.Picture[i] = static_cast<std::uint8_t>((i / 3 + i / PictureWidth) & 15);
  }
  for (int line = 0; line < BorderTableLines; ++line) {
    FrameImage.LineBorderColor[line] = static_cast<std::uint8_t>(line * 7 & 15);
  }
  Host.ShowBorder = border;
  CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
}

// Pixel (x, y), y counted from the top, of the bottom-up display buffer.
std::uint32_t Pixel(int x, int y) {
  return Host.DisplayPixels[(Host.PictureHeight - 1 - y) * Host.PictureWidth + x];
}

std::uint32_t PicturePixel(int x, int y) { return Palette[FrameImage.Picture[y * PictureWidth + x]]; }

TEST(DisplayConversion, BorderedBufferShowsRasterLines30To269AndTheWindowAloneWithout) {
  StartDisplay(true);
  EXPECT_EQ(RequestedSize, 366284);
  ASSERT_EQ(Host.PictureWidth * 1000 + Host.PictureHeight, 360240);
  for (int r = 0; r < 240; ++r) {
    for (int x = 0; x < 360; ++x) {
      const bool window = r >= 20 && r < 220 && x >= 20 && x < 340;
      ASSERT_EQ(Pixel(x, r), window ? PicturePixel(x - 20, r - 20)
                                    : Palette[FrameImage.LineBorderColor[r + 30]])
          << x << "," << r;
    }
  }
  // A border change at raster line 40 shows from picture row 10 on; one at line 20 is above it.
  std::memset(FrameImage.LineBorderColor, 6, 40);
  std::memset(FrameImage.LineBorderColor + 40, 2, BorderTableLines - 40);
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(Pixel(359, 9), Palette[6]);
  EXPECT_EQ(Pixel(0, 10), Palette[2]);
  std::memset(FrameImage.LineBorderColor + 20, 2, 20);
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(Pixel(0, 0), Palette[2]);
  FreeDisplayBuffer();

  StartDisplay(false);
  EXPECT_EQ(RequestedSize, 326244);
  for (int y = 0; y < 200; ++y) {
    for (int x = 0; x < 320; ++x) ASSERT_EQ(Pixel(x, y), PicturePixel(x, y)) << x << "," << y;
  }
}

TEST(DisplayConversion, TraceViewAndStatusLineAreDrawnFirstWhileF12IsHeldOrTracing) {
  StartDisplay(false);
  Cpu.PC = 0xC000;
  MainRam[0xC000] = 0xEA;
  MainRam[0x02A6] = 1;
  Host.SpeedPercent = 304;
  Host.FrameSkip = 0;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(test::PictureRowText(0), std::string(40, '~'));
  HostKeyDown[VirtualKeyF12] = 1;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(test::PictureRowText(0), "$C000: $EA $.. $..: NOP         NV-BDIZC");
  EXPECT_EQ(test::PictureRowText(24).substr(23), "S:00 -  PAL 0304%");
  for (int x = 0; x < 8; ++x) EXPECT_EQ(Pixel(x, 0), PicturePixel(x, 0));
  HostKeyDown[VirtualKeyF12] = 0;
  Host.TraceMode = 1;
  Cpu.PC = 0xC001;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(test::PictureRowText(0).substr(0, 6), "$C001:");
}

}  // namespace
}  // namespace quillon
