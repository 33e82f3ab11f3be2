#include <benchmark/benchmark.h>

#include "core/machine.h"
#include "window/display.h"
#include "session/host_state.h"
#include "vic/frame_image.h"
#include "vic/render.h"
#include "vic/vic.h"

namespace {

using namespace quillon;

// A screen at $0400, characters or bitmap at $2000, RAM filled with varied bytes so that
// every cell takes its own path.
void SetUpMode(std::uint8_t control1, std::uint8_t control2) {
  EmulatorInit();
  for (unsigned a = 0x0400; a < 0x4000; ++a) MainRam[a] = static_cast<std::uint8_t>(a * 29 + (a >> 7));
  for (unsigned i = 0; i < ColorRamSize; ++i) ColorRam[i] = static_cast<std::uint8_t>(i * 5 % 16);
  const std::uint8_t registers[][2] = {{0x11, control1}, {0x16, control2}, {0x18, 0x18}, {0x20, 14},
                                       {0x21, 6}, {0x22, 2}, {0x23, 5}, {0x24, 7}};
  for (const auto& r : registers) VicWrite(r[0], r[1]);
}

// One iteration renders one line of the display window; the time per iteration is the time
// per line.
void BM_RenderLine(benchmark::State& state, std::uint8_t control1, std::uint8_t control2) {
  SetUpMode(control1, control2);
  int row = 0;
  for (auto _ : state) {
    Vic.RasterLine = static_cast<std::uint16_t>(FirstPictureLine + row);
    RenderRasterLine();
    row = row == PictureHeight - 1 ? 0 : row + 1;
  }
  benchmark::DoNotOptimize(FrameImage.Picture[0]);
}

BENCHMARK_CAPTURE(BM_RenderLine, StandardText, 0x1B, 0xC8);
BENCHMARK_CAPTURE(BM_RenderLine, MulticolorText, 0x1B, 0xD8);
BENCHMARK_CAPTURE(BM_RenderLine, ExtendedColorText, 0x5B, 0xC8);
BENCHMARK_CAPTURE(BM_RenderLine, HiresBitmap, 0x3B, 0xC8);
BENCHMARK_CAPTURE(BM_RenderLine, MulticolorBitmap, 0x3B, 0xD8);

// One conversion of the bordered picture into the 360 x 240 display buffer, as the main loop
// does on every pass.
void BM_ConvertFrameWithBorder(benchmark::State& state) {
  EmulatorInit();
  Host.ShowBorder = 1;
  CreateDisplayBuffer();
  for (auto _ : state) {
    ConvertFrame(Host.DisplayPixels);
    benchmark::DoNotOptimize(Host.DisplayPixels[0]);
    benchmark::ClobberMemory();
  }
  FreeDisplayBuffer();
}
BENCHMARK(BM_ConvertFrameWithBorder)->Unit(benchmark::kMicrosecond);

}  // namespace
