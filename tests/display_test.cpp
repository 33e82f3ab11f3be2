#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "keyboard/host_keys.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "window/display.h"
#include "backends/headless/headless_backend.h"
#include "session/host_state.h"
#include "files/png_writer.h"
#include "debug/status_line.h"
#include "debug/trace_view.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/picture.h"
#include "vic/frame_image.h"
#include "vic/sprites.h"
#include "vic/vic.h"

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

// A platform that keeps the display buffer as a bitmap of its own, but cannot make one of the
// borderless size.
std::vector<std::uint32_t> PlatformBitmap;
int PlatformBitmapsFreed = 0;

TEST(DisplayConversion, APlatformBitmapHoldsTheBufferWhereThePlatformCanMakeOne) {
  test::PowerOnMachine();
  DisplayPlatform = {};
  DisplayPlatform.CreatePictureBuffer = [](std::int32_t width,
                                           std::int32_t height) -> std::uint32_t* {
    if (width != 360) return nullptr;
    PlatformBitmap.assign(static_cast<std::size_t>(width) * height, 0);
    return PlatformBitmap.data();
  };
  DisplayPlatform.FreePictureBuffer = [] { ++PlatformBitmapsFreed; };
  FrameImage.LineBorderColor[30] = 2;
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  EXPECT_EQ(Host.DisplayPixels, PlatformBitmap.data());
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(PlatformBitmap[239 * 360], Palette[2]) << "the top row, stored last";
  const int freed = PlatformBitmapsFreed;
  Host.ShowBorder = 0;
  FreeDisplayBuffer();
  EXPECT_EQ(PlatformBitmapsFreed, freed + 1);
  EXPECT_EQ(Host.DisplayPixels, nullptr);
  CreateDisplayBuffer();
  ASSERT_NE(Host.DisplayPixels, nullptr) << "the shell's own memory when the platform has none";
  FrameImage.Picture[0] = 5;
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(Host.DisplayPixels[199 * 320], Palette[5]);
  FreeDisplayBuffer();
}

// A display platform that records the modes it is asked for and fails every presentation.
DisplayMode LastMode;
int Presents = 0;

TEST(FullScreen, EnterSwitchesTo320x200x8LeaveRestoresTheDesktopAndPresentingNeverHangs) {
  test::PowerOnMachine();
  DisplayPlatform = {};
  EXPECT_FALSE(EnterFullScreen()) << "a platform with no full screen";
  DisplayPlatform.ReadDesktopMode = [] { return DisplayMode{1920, 1080, 32}; };
  DisplayPlatform.AcquireFullScreen = [] { return true; };
  DisplayPlatform.SetDisplayMode = [](const DisplayMode& mode) { LastMode = mode; };
  DisplayPlatform.PresentIndexedPicture = [](const std::uint8_t*, std::int32_t, std::int32_t,
                                             const FullScreenPaletteEntry*) { return ++Presents < 0; };
  ASSERT_TRUE(EnterFullScreen());
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 3202008);
  PresentFullScreen();
  EXPECT_TRUE(Presents > 1 && Presents < 100) << "a failed presentation is retried a few times";
  LeaveFullScreen();
  EXPECT_EQ(LastMode.Width * 10000 + LastMode.Height * 10 + LastMode.BitsPerPixel, 19210832);
}

TEST(FullScreen, RowsAndSpritesGoToTheSurfaceAndOverlaysNever) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  VicWrite(0x11, 0x13);  // 24 rows: line 50 is blank, line 100 shows text
  VicWrite(0x18, 0x15);
  VicWrite(0x20, 14);
  test::RenderLine(100);
  std::uint8_t textRow[PictureWidth];
  std::memcpy(textRow, FrameImage.Picture + 50 * PictureWidth, PictureWidth);
  std::memset(FrameImage.Picture, 0xAA, PictureBufferSize);
  CreateFlipChain();
  Host.FullScreenActive = 1;
  test::RenderLine(100);
  test::RenderLine(50);
  std::memset(&MainRam[0x0340], 0xFF, 63);
  MainRam[0x07F8] = 0x0D;
  const std::uint8_t sprite[][2] = {{0x15, 0x01}, {0x00, 24 + 5}, {0x01, 50 + 10}, {0x27, 7}};
  for (const auto& r : sprite) VicWrite(r[0], r[1]);
  DrawSprites();
  EXPECT_EQ(std::memcmp(FullScreen.Surface + 50 * PictureWidth, textRow, PictureWidth), 0);
  EXPECT_EQ(FullScreen.Surface[0], 14);
  EXPECT_EQ(FullScreen.Surface[PictureWidth], 0) << "only the rendered rows are written";
  EXPECT_EQ(FullScreen.Surface[10 * PictureWidth + 5], 7);
  for (std::size_t i = 0; i < PictureBufferSize; ++i) ASSERT_EQ(FrameImage.Picture[i], 0xAA);

  // The trace view and status line go into the frame image, not the surface.
  std::uint8_t before[sizeof FullScreen.Surface];
  std::memcpy(before, FullScreen.Surface, sizeof before);
  HostKeyDown[VirtualKeyF12] = 1;
  CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
  EXPECT_EQ(std::memcmp(before, FullScreen.Surface, sizeof before), 0);
}

void StartWithPicture() {
  test::PowerOnMachine();
  std::memset(FrameImage.Picture, 5, PictureWidth * PictureHeight);
}

std::string StatusText() { return test::PictureRowText(24).substr(23); }

TEST(StatusLine, ShowsSkipStandardAndSpeedAndTheRasterMarkerAtTheBottomRight) {
  StartWithPicture();
  MainRam[0x02A6] = 1;
  DrawStatusLine(304, 0);
  EXPECT_EQ(StatusText(), "S:00 -  PAL 0304%");
  EXPECT_TRUE(test::CellShowsGlyph(23, 24, 0x13, 1, 0));  // white "S" on black
  MainRam[0x02A6] = 0;
  DrawStatusLine(1234, 10);
  EXPECT_EQ(StatusText(), "S:10 - NTSC 1234%");
  DrawRasterMarker(51);
  EXPECT_EQ(StatusText(), "S:10 - NTSC 12051") << "the marker covers the last three cells";
  DrawRasterMarker(311);
  EXPECT_EQ(StatusText().substr(14), "311");
  DrawRasterMarker(65535);  // the compare register before the KERNAL sets it
  EXPECT_EQ(StatusText().substr(14), "535");
  // Nothing beyond the status cells was written: not the rest of the row, not the row above.
  EXPECT_EQ(test::PictureRowText(24).substr(0, 23) + test::PictureRowText(23), std::string(63, '~'));
  // A warp reading far beyond 10000 moves left to show every digit.
  DrawStatusLine(123456, 0);
  EXPECT_EQ(test::PictureRowText(24).substr(21), "S:00 - NTSC 123456%");
  // Glyphs outside the 40 x 25 grid are not drawn.
  DrawGlyph(0x30, 40, 0, 1, 0);
  DrawGlyph(0x30, -1, 3, 1, 0);
  DrawGlyph(0x30, 0, 25, 1, 0);
  EXPECT_EQ(FrameImage.Picture[8 * PictureWidth], 5);
}

TEST(StatusLine, RunningMachineDrawsStatusLineAndMarkerWhileTheirKeysAreHeld) {
  StartWithPicture();
  Host.SpeedPercent = 98;
  Host.FrameSkip = 7;
  MainRam[0x02A6] = 0;
  HostKeyDown[VirtualKeyScrollLock] = 1;
  test::RunFrames(1);
  EXPECT_EQ(StatusText(), "S:07 - NTSC 0098%");
  HostKeyDown[VirtualKeyScrollLock] = 0;
  HostKeyDown[VirtualKeyF11] = 1;
  FollowHostKeys();
  Vic.RasterCompare = 0x0133;
  test::RunSteps(64 * 4);
  EXPECT_EQ(StatusText(), "S:07 - NTSC 00307");
}

std::string TopRowAfter(std::uint16_t pc, std::initializer_list<std::uint8_t> bytes) {
  std::copy(bytes.begin(), bytes.end(), MainRam + pc);
  DrawTraceView({.A = 0, .X = 0, .Y = 0, .SP = 0xFF, .P = 0x30, .PC = pc});
  return test::PictureRowText(0);
}

TEST(TraceView, ShowsTheInstructionAtThePcTheFlagsAndTheRegisters) {
  StartWithPicture();
  EXPECT_EQ(TopRowAfter(0xC000, {0xA9, 0x01}), "$C000: $A9 $01 $..: LDA #$01    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0x0801, {0x4C, 0x00, 0xC0}), "$0801: $4C $00 $C0: JMP $C000   NV-BDIZC");
  // A branch shows its raw offset, not the target.
  EXPECT_EQ(TopRowAfter(0xC000, {0xD0, 0xFB}), "$C000: $D0 $FB $..: BNE $*FB    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0xC000, {0xEA, 0x62}), "$C000: $EA $.. $..: NOP         NV-BDIZC");
  // An operand byte that happens to be a letter's code is still one byte.
  EXPECT_EQ(TopRowAfter(0xC000, {0x91, 0x62}), "$C000: $91 $62 $..: STA ($62),Y NV-BDIZC");
  // Addresses, bytes and mnemonic in white; the separators and flag names in yellow.
  EXPECT_TRUE(test::CellShowsGlyph(0, 0, 0x24, 1, 0));
  EXPECT_TRUE(test::CellShowsGlyph(18, 0, 0x3A, 7, 0));
  EXPECT_TRUE(test::CellShowsGlyph(32, 0, 0x0E, 7, 0));  // "N" of NV-BDIZC

  DrawTraceView({.A = 0x01, .X = 0x9A, .Y = 0xFF, .SP = 0xF6, .P = 0x30, .PC = 0xC000});
  EXPECT_EQ(test::PictureRowText(1), "STACKP: $00F6 A:$01 X:$9A Y:$FF 00110000");
  EXPECT_TRUE(test::CellShowsGlyph(34, 1, 0x31, 1, 0));
  EXPECT_EQ(test::PictureRowText(2), std::string(40, '~')) << "only the top two rows are drawn";
  // The bytes are those the CPU would fetch: the KERNAL, not the RAM under it.
  MainRam[0xE000] = 0xEA;
  DrawTraceView({.A = 0, .X = 0, .Y = 0, .SP = 0xFF, .P = 0x30, .PC = 0xE000});
  const std::string hex = "0123456789ABCDEF";
  const std::string expected = {hex[RomImages.Kernal[0] >> 4], hex[RomImages.Kernal[0] & 15]};
  EXPECT_EQ(test::PictureRowText(0).substr(8, 2), expected);
}

// The file's width, height, then its pixels as 0x00RRGGBB, read the way any PNG reader does:
// every chunk's CRC checked, the image data inflated by zlib (which checks the stream's
// Adler-32), 8-bit RGB rows with filter type 0. Empty when the file is not such a PNG.
std::vector<std::uint32_t> ReadPngRgb(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file{std::istreambuf_iterator<char>(in), {}};
  constexpr std::uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  if (file.size() < 8 || !std::equal(signature, signature + 8, file.begin())) return {};
  const auto word = [&file](std::size_t at) {
    return std::uint32_t{file[at]} << 24 | file[at + 1] << 16 | file[at + 2] << 8 | file[at + 3];
  };
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> compressed;
  bool ended = false;
  for (std::size_t at = 8; !ended && at + 12 <= file.size();) {
    const std::uint32_t length = word(at);
    if (at + 12 + length > file.size()) return {};
    if (crc32(0, &file[at + 4], length + 4) != word(at + 8 + length)) return {};
    const std::string type(file.begin() + at + 4, file.begin() + at + 8);
    if (type == "IHDR") {
      width = word(at + 8);
      height = word(at + 12);
      if (file[at + 16] != 8 || file[at + 17] != 2) return {};  // 8 bits per sample, RGB
    } else if (type == "IDAT") {
      compressed.insert(compressed.end(), file.begin() + at + 8, file.begin() + at + 8 + length);
    }
    ended = type == "IEND";
    at += 12 + length;
  }
  std::vector<std::uint8_t> raw(height * (1 + 3 * width));
  uLongf size = raw.size();
  if (!ended || uncompress(raw.data(), &size, compressed.data(), compressed.size()) != Z_OK ||
      size != raw.size()) {
    return {};
  }
  std::vector<std::uint32_t> result = {width, height};
  for (std::size_t row = 0; row < height; ++row) {
    const std::uint8_t* line = &raw[row * (1 + 3 * width)];
    if (line[0] != 0) return {};
    for (std::size_t x = 0; x < width; ++x) {
      result.push_back(line[1 + 3 * x] << 16 | line[2 + 3 * x] << 8 | line[3 + 3 * x]);
    }
  }
  return result;
}

TEST(PngWriter, WritesBottomUpBuffersAndTheFrameImageThroughThePalette) {
  const std::string path = test::WriteTempFile("picture.png", {});
  const std::uint32_t pixels[6] = {0x112233, 0x445566, 0xDEAD, 0xAABBCC, 0xDDEEFF, 0xBEEF};
  ASSERT_TRUE(WritePng(path, pixels + 3, 2, 2, -3));  // 2 x 2 pixels in rows of 3, bottom-up
  EXPECT_EQ(ReadPngRgb(path), (std::vector<std::uint32_t>{2, 2, 0xAABBCC, 0xDDEEFF, 0x112233, 0x445566}));
  test::PowerOnMachine();
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) FrameImage.Picture[i] = (i / 7) % 16;
  ASSERT_TRUE(WritePicturePng(path, FrameImage.Picture));
  const std::vector<std::uint32_t> frame = ReadPngRgb(path);
  ASSERT_EQ(frame.size(), 2u + 320 * 200);
  EXPECT_EQ(frame[0] * 1000 + frame[1], 320200u);
  for (int i = 0; i < PictureWidth * PictureHeight; ++i) ASSERT_EQ(frame[2 + i], Palette[(i / 7) % 16]);
  EXPECT_FALSE(WritePng(path, pixels, 3, 2, -2)) << "a stride shorter than a row";
  EXPECT_FALSE(WritePng(path, nullptr, 2, 2, 3));
  EXPECT_FALSE(WritePng("/nonexistent-directory/picture.png", pixels, 2, 2, 3));
}

}  // namespace
}  // namespace quillon
