#include "core/machine.h"

#include <cstdlib>
#include <cstring>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "vic/frame_image.h"
#include "vic/render.h"
#include "vic/sprites.h"
#include "vic/vic.h"

namespace quillon {

std::uint8_t* MainRam = nullptr;
std::uint8_t* ColorRam = nullptr;
std::uint32_t VideoStandard = VideoStandardPal;
CycleCounterState CycleCounters = {};
RasterLineOptions RasterLineEnd = {};
MachineBlockAllocator AllocateMachineBlock = std::malloc;

namespace {

// The memory blocks live for the whole run; a second EmulatorInit keeps those it has.
std::uint8_t* AllocateOnce(std::uint8_t* block, std::size_t size) {
  return block != nullptr ? block : static_cast<std::uint8_t*>(AllocateMachineBlock(size));
}

}  // namespace

int LinesPerFrame() { return VideoStandard ? PalLinesPerFrame : NtscLinesPerFrame; }

void PublishStepCount() {
  CycleCounters.StepCounter.fetch_add(CycleCounters.UnpublishedSteps, std::memory_order_relaxed);
  CycleCounters.UnpublishedSteps = 0;
}

std::int32_t EmulatorInit() {
  // All three requests are made whatever the one before returned.
  MainRam = AllocateOnce(MainRam, MainRamSize);
  ColorRam = AllocateOnce(ColorRam, ColorRamSize);
  FrameImage.Picture = AllocateOnce(FrameImage.Picture, PictureBufferSize);
  if (MainRam == nullptr || ColorRam == nullptr || FrameImage.Picture == nullptr) return 0;
  BuildMemoryMap();
  // The picture is first written as raster lines pass; until then it shows colour 0.
  std::memset(FrameImage.Picture, 0, PictureBufferSize);
  if (FrameImage.Target == nullptr) FrameImage.Target = FrameImage.Picture;

  LoadRomFiles();
  std::memset(KeyMatrix, 0xFF, sizeof KeyMatrix);
  HardReset();
  SidInit(11025, SoundTicksPerSecond);
  return 1;
}

void ClearMachineRecords() {
  Cpu = CpuPowerOnState;
  Vic = {};
  Cia1 = {};
  Cia2 = {};
  CycleCounters.LineClock = 0;
  CycleCounters.FrameCounter = 0;
  CycleCounters.UnpublishedSteps = 0;
  CycleCounters.StepCounter = 0;
  CycleCounters.Clock = 0;
  CiaClock = 0;
  ProcessorPortLatch = 0;
  IdToggle = 0xAA;
  KeyboardReads = {};
  DebugExit = {false, -1};
  RunStopRequested = false;
  for (SidVoice& voice : Sid.Voices) {
    voice.Wave = nullptr;
    voice.Phase = 0;
    voice.EnvState = EnvelopeAttack;
    voice.Attack = voice.Decay = voice.Sustain = voice.Release = 0;
  }
}

void HardReset() {
  // The power-on RAM pattern: blocks of 128 bytes, $99 where address bit 7 is clear, $66 where
  // it is set.
  for (std::size_t block = 0; block < MainRamSize; block += 256) {
    std::memset(MainRam + block, 0x99, 128);
    std::memset(MainRam + block + 128, 0x66, 128);
  }
  std::memset(ColorRam, 0, ColorRamSize);
  VicHardReset();
  SidHardReset();
  CiaHardReset();
  // The port's direction and value bytes come up directly; the output latch keeps its value.
  MainRam[0] = 0x2F;
  MainRam[1] = 0x37;
  SelectMemoryMap();
  CycleCounters.LineClock = 0;
  Cpu.ResetRequest = 0;
  if (CartridgeAttached) LoadCartridge(CartridgePath.c_str());
}

void RunStep() {
  CycleCounters.LineClock = static_cast<std::uint16_t>(CycleCounters.LineClock + 8);
  if (CycleCounters.LineClock >= (VideoStandard ? PalLineThreshold : NtscLineThreshold)) {
    RasterLineStep();
  }
  // After a stretch of the fast path the timers still have its steps to count.
  CiaCatchUp();
  CpuExecute();
  CiaStep();
  CiaClock = ++CycleCounters.Clock;
  ++CycleCounters.UnpublishedSteps;
}

void RasterLineStep() {
  RenderRasterLine();
  CycleCounters.LineClock = 0;
  ++Vic.RasterLine;
  // A frame ends when the raster reaches the standard's line count. Switching to NTSC while the
  // raster is already past line 261 ends the frame at the next line, so the raster counter
  // never leaves 0-311.
  const bool frameEnded = Vic.RasterLine >= LinesPerFrame();
  if (frameEnded) {
    DrawSprites();
    ++CycleCounters.FrameCounter;
    Vic.RasterLine = 0;
  }
  if (RasterLineEnd.LineFrames) ++CycleCounters.FrameCounter;
  VicCheckRasterCompare();
  PublishStepCount();
  if (RasterLineEnd.Observer != nullptr) RasterLineEnd.Observer(frameEnded);
}

}  // namespace quillon
