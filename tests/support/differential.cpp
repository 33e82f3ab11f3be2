#include "support/differential.h"

#include <cstring>
#include <sstream>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "app/command_line.h"
#include "keyboard/key_table.h"
#include "platform/messages.h"
#include "sid/sid.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon::test {
namespace {

// A quick 64-bit hash, eight bytes at a time.
class Hash {
 public:
  Hash& Bytes(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (; size >= 8; size -= 8, bytes += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes, 8);
      Mix(word);
    }
    for (; size > 0; --size) Mix(*bytes++);
    return *this;
  }
  template <class... Values>
  Hash& Of(Values... values) {
    (Mix(static_cast<std::uint64_t>(values)), ...);
    return *this;
  }
  std::uint64_t Value() const { return state_; }

 private:
  void Mix(std::uint64_t word) {
    state_ = (state_ ^ word) * 0x9E3779B97F4A7C15ull;
    state_ ^= state_ >> 29;
  }
  std::uint64_t state_ = 0xCBF29CE484222325ull;
};

std::uint64_t HashCia(Hash hash, const CiaState& cia) {
  return hash.Bytes(cia.Registers, sizeof cia.Registers)
      .Of(cia.TimerACounter, cia.TimerBCounter, cia.TimerALatch, cia.TimerBLatch,
          cia.TimerARunning, cia.TimerBRunning, cia.InterruptMask)
      .Value();
}

void DescribePart(std::ostringstream& out, const char* name, std::uint64_t a, std::uint64_t b) {
  if (a != b) out << ' ' << name;
}

std::vector<MachineFingerprint> RunOnePath(const Scenario& scenario, bool fastPath) {
  scenario.Setup();
  std::vector<MachineFingerprint> frames;
  for (int frame = 0; frame < scenario.Frames; ++frame) {
    if (scenario.BeforeFrame) scenario.BeforeFrame(frame);
    const std::int32_t target = CycleCounters.FrameCounter + 1;
    if (fastPath) {
      RunUntilFrame(target);
    } else {
      while (CycleCounters.FrameCounter < target) RunStep();
    }
    frames.push_back(TakeFingerprint());
  }
  return frames;
}

}  // namespace

MachineFingerprint TakeFingerprint() {
  MachineFingerprint print{};
  print.Ram = Hash().Bytes(MainRam, MainRamSize).Value();
  print.ColorRam = Hash().Bytes(ColorRam, ColorRamSize).Value();
  print.Picture = Hash().Bytes(FrameImage.Picture, PictureWidth * PictureHeight).Value();
  print.Borders =
      Hash().Bytes(FrameImage.LineBorderColor, sizeof FrameImage.LineBorderColor).Value();
  print.Cpu = Hash()
                  .Of(Cpu.A, Cpu.X, Cpu.Y, Cpu.SP, Cpu.P, Cpu.PC, Cpu.Opcode, Cpu.Cycle,
                      Cpu.EffectiveAddress, Cpu.LastCycle, Cpu.IrqPending, Cpu.NmiPending,
                      Cpu.ResetRequest)
                  .Value();
  print.Vic = Hash()
                  .Bytes(Vic.Registers, sizeof Vic.Registers)
                  .Of(Vic.RasterLine, Vic.RasterCompare, Vic.ExtendedColorMode, Vic.BitmapMode,
                      Vic.DisplayEnable, Vic.RowSelect, Vic.YScroll, Vic.MultiColorMode,
                      Vic.ColumnSelect, Vic.XScroll, Vic.ScreenBase, Vic.CharBase, Vic.BankBase,
                      Vic.BorderColor, Vic.BackgroundColor[0], Vic.BackgroundColor[1],
                      Vic.BackgroundColor[2], Vic.BackgroundColor[3])
                  .Value();
  print.Cias = HashCia(Hash(), Cia1) ^ (HashCia(Hash(), Cia2) * 3);
  Hash sid;
  for (const auto& reg : Sid.Registers) sid.Of(reg.load());
  sid.Of(ActiveVoices.load());
  for (const SidVoice& voice : Sid.Voices) {
    sid.Of(voice.Phase, voice.Level.load(), voice.EnvState, voice.Attack.load(),
           voice.Decay.load(), voice.Sustain.load(), voice.Release.load());
  }
  print.Sid = sid.Value();
  print.Counters = Hash()
                       .Of(CycleCounters.LineClock, CycleCounters.FrameCounter,
                           CycleCounters.Clock, ProcessorPortLatch, IdToggle, VideoStandard)
                       .Value();
  return print;
}

std::string CompareFastPathWithReference(const Scenario& scenario) {
  const std::vector<MachineFingerprint> reference = RunOnePath(scenario, false);
  const std::vector<MachineFingerprint> fast = RunOnePath(scenario, true);
  for (std::size_t frame = 0; frame < reference.size(); ++frame) {
    const MachineFingerprint& a = reference[frame];
    const MachineFingerprint& b = fast[frame];
    if (a == b) continue;
    std::ostringstream out;
    out << scenario.Name << ": frame " << frame << " differs in";
    DescribePart(out, "RAM", a.Ram, b.Ram);
    DescribePart(out, "colour-RAM", a.ColorRam, b.ColorRam);
    DescribePart(out, "picture", a.Picture, b.Picture);
    DescribePart(out, "borders", a.Borders, b.Borders);
    DescribePart(out, "CPU", a.Cpu, b.Cpu);
    DescribePart(out, "VIC-II", a.Vic, b.Vic);
    DescribePart(out, "CIAs", a.Cias, b.Cias);
    DescribePart(out, "SID", a.Sid, b.Sid);
    DescribePart(out, "counters", a.Counters, b.Counters);
    return out.str();
  }
  return "";
}

int TypeAt(const std::string& text, int first, int frame) {
  std::vector<TypedKey> keys;
  TranslateTypedText(text, keys);
  const int end = first + 4 * static_cast<int>(keys.size());
  if (frame < first || frame >= end) return end;
  const TypedKey& key = keys[static_cast<std::size_t>((frame - first) / 4)];
  switch ((frame - first) % 4) {
    case 0:
      if (key.Shift) ApplyKeyDown(VirtualKeyShift, true);
      ApplyKeyDown(key.VirtualKey, key.Shift);
      break;
    case 2:
      ApplyKeyUp(key.VirtualKey, key.Shift);
      if (key.Shift) ApplyKeyUp(VirtualKeyShift, true);
      break;
    default:
      break;
  }
  return end;
}

}  // namespace quillon::test
