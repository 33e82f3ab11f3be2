#include "core/snapshot.h"

#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "sid/sid.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr std::size_t PictureSize = PictureWidth * PictureHeight;
constexpr std::size_t MaxPathLength = 4096;

// The machine as the body holds it, read whole before any of it goes into effect.
struct MachineImage {
  CpuState Cpu;
  std::array<std::uint8_t, MainRamSize> Ram;
  std::array<std::uint8_t, ColorRamSize> ColorRam;
  VicState Vic;
  std::array<std::uint8_t, PictureSize> Picture;
  std::array<std::uint8_t, BorderTableLines> Borders;
  CiaState Cias[2];
  SidImage Sid;
  std::uint8_t PortLatch;
  std::uint8_t IdToggle;
  bool CartridgeAttached;
  std::string CartridgePath;
  std::vector<std::uint8_t> CartridgeImage;
  std::uint8_t KeyMatrix[8];
  std::size_t KeyboardPartAt;  // where the shell's keyboard part starts in the body
  std::uint8_t VideoStandard;
  std::uint16_t LineClock;
  std::int32_t FrameCounter;
  std::uint64_t Clock;
};

// The counters of the TIME block, in both directions.
template <class Stream>
void TimeFields(Stream& s, std::uint8_t& standard, std::uint16_t& lineClock,
                std::uint32_t& frameCounter, std::uint64_t& clock) {
  s.Field(standard);
  s.Field(lineClock);
  s.Field(frameCounter);
  s.Field(clock);
}

std::string ReadBody(SnapshotReader& in, MachineImage& image,
                     const SnapshotKeyboardPart& keyboard) {
  std::size_t end = in.OpenBlock("CPU ");
  CpuStateFields(in, image.Cpu);
  if (!CpuStepIsValid(image.Cpu) || !in.CloseBlock(end)) return "is damaged: its processor block";
  end = in.OpenBlock("RAM ");
  in.Block(image.Ram.data(), image.Ram.size());
  in.Block(image.ColorRam.data(), image.ColorRam.size());
  if (!in.CloseBlock(end)) return "is damaged: its memory block";
  end = in.OpenBlock("VIC ");
  VicStateFields(in, image.Vic);
  in.Block(image.Picture.data(), image.Picture.size());
  in.Block(image.Borders.data(), image.Borders.size());
  if (!VicStateIsValid(image.Vic) || !in.CloseBlock(end)) return "is damaged: its VIC-II block";
  end = in.OpenBlock("CIA ");
  for (CiaState& cia : image.Cias) CiaStateFields(in, cia);
  if (!CiaStateIsValid(image.Cias[0]) || !CiaStateIsValid(image.Cias[1]) || !in.CloseBlock(end)) {
    return "is damaged: its CIA block";
  }
  end = in.OpenBlock("SID ");
  SidImageFields(in, image.Sid);
  if (!SidImageIsValid(image.Sid) || !in.CloseBlock(end)) return "is damaged: its SID block";
  end = in.OpenBlock("PORT");
  image.PortLatch = in.U8();
  image.IdToggle = in.U8();
  if (!in.CloseBlock(end)) return "is damaged: its processor port block";
  end = in.OpenBlock("CART");
  image.CartridgeAttached = in.Flag();
  std::vector<std::uint8_t> path;
  if (!in.Sized(path, MaxPathLength) ||
      !in.Sized(image.CartridgeImage, CartridgeImageMaxSize) || !in.CloseBlock(end)) {
    return "is damaged: its cartridge block";
  }
  image.CartridgePath.assign(path.begin(), path.end());
  end = in.OpenBlock("KEYS");
  in.Block(image.KeyMatrix, sizeof image.KeyMatrix);
  image.KeyboardPartAt = in.Position;
  if (!keyboard.Load(in, false) || !in.CloseBlock(end)) return "is damaged: its keyboard block";
  end = in.OpenBlock("TIME");
  std::uint32_t frameCounter = 0;
  TimeFields(in, image.VideoStandard, image.LineClock, frameCounter, image.Clock);
  image.FrameCounter = static_cast<std::int32_t>(frameCounter);
  if (!in.CloseBlock(end) || image.VideoStandard > 1 || image.LineClock >= NtscLineThreshold ||
      image.FrameCounter < 0) {
    return "is damaged: its counters block";
  }
  if (in.Position != in.Size) return "is damaged: it goes on after its last block";
  return "";
}

void Apply(const MachineImage& image, const SnapshotReader& body,
           const SnapshotKeyboardPart& keyboard) {
  Cpu = image.Cpu;
  std::memcpy(MainRam, image.Ram.data(), MainRamSize);
  std::memcpy(ColorRam, image.ColorRam.data(), ColorRamSize);
  Vic = image.Vic;
  std::memcpy(FrameImage.Picture, image.Picture.data(), PictureSize);
  std::memcpy(FrameImage.LineBorderColor, image.Borders.data(), image.Borders.size());
  Cia1 = image.Cias[0];
  Cia2 = image.Cias[1];
  SidRestore(image.Sid);
  ProcessorPortLatch = image.PortLatch;
  IdToggle = image.IdToggle;
  CartridgeAttached = image.CartridgeAttached ? 1 : 0;
  CartridgePath = image.CartridgePath;
  CartridgeImage = image.CartridgeImage;
  CartridgeImageKept = 1;
  std::memcpy(KeyMatrix, image.KeyMatrix, sizeof KeyMatrix);
  SnapshotReader keys{body.Data, body.Size, image.KeyboardPartAt};
  keyboard.Load(keys, true);
  VideoStandard = image.VideoStandard ? VideoStandardPal : VideoStandardNtsc;
  CycleCounters.LineClock = image.LineClock;
  CycleCounters.FrameCounter = image.FrameCounter;
  CycleCounters.Clock = image.Clock;
  // What follows from the state rather than being part of it: the timers have counted up to
  // the clock, and the memory map is the one the port selects.
  CiaClock = image.Clock;
  SelectMemoryMap();
}

}  // namespace

void ClassicSaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard) {
  // The timers count lazily: brought up to the clock, they are what the machine holds now.
  CiaCatchUp();
  std::size_t block = out.BeginBlock("CPU ");
  CpuStateFields(out, Cpu);
  out.EndBlock(block);
  block = out.BeginBlock("RAM ");
  out.Block(MainRam, MainRamSize);
  out.Block(ColorRam, ColorRamSize);
  out.EndBlock(block);
  block = out.BeginBlock("VIC ");
  VicStateFields(out, Vic);
  out.Block(FrameImage.Picture, PictureSize);
  out.Block(FrameImage.LineBorderColor, sizeof FrameImage.LineBorderColor);
  out.EndBlock(block);
  block = out.BeginBlock("CIA ");
  CiaStateFields(out, Cia1);
  CiaStateFields(out, Cia2);
  out.EndBlock(block);
  block = out.BeginBlock("SID ");
  SidImage sid = SidCapture();
  SidImageFields(out, sid);
  out.EndBlock(block);
  block = out.BeginBlock("PORT");
  out.U8(ProcessorPortLatch);
  out.U8(IdToggle);
  out.EndBlock(block);
  block = out.BeginBlock("CART");
  out.U8(CartridgeAttached != 0);
  out.Sized(CartridgePath.data(), CartridgePath.size());
  out.Sized(CartridgeImage.data(), CartridgeImage.size());
  out.EndBlock(block);
  block = out.BeginBlock("KEYS");
  out.Block(KeyMatrix, sizeof KeyMatrix);
  keyboard.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("TIME");
  std::uint8_t standard = VideoStandard ? 1 : 0;
  auto frameCounter = static_cast<std::uint32_t>(CycleCounters.FrameCounter);
  TimeFields(out, standard, CycleCounters.LineClock, frameCounter, CycleCounters.Clock);
  out.EndBlock(block);
}

std::string ClassicLoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard) {
  auto image = std::make_unique<MachineImage>();
  const std::string error = ReadBody(in, *image, keyboard);
  if (error.empty()) Apply(*image, in, keyboard);
  return error;
}

}  // namespace quillon
