#include "accurate/sid_registers.h"

namespace quillon::accurate {
namespace {

// Voice 3's registers and the read-only ones.
constexpr int Voice3FrequencyLow = 0x0E;
constexpr int Voice3FrequencyHigh = 0x0F;
constexpr int Voice3PulseLow = 0x10;
constexpr int Voice3PulseHigh = 0x11;
constexpr int Voice3Control = 0x12;
constexpr int Voice3SustainRelease = 0x14;
constexpr int PotX = 0x19;
constexpr int PotY = 0x1A;
constexpr int Oscillator3 = 0x1B;
constexpr int Envelope3 = 0x1C;

constexpr std::uint8_t ControlGate = 0x01;
constexpr std::uint8_t ControlTest = 0x08;
constexpr std::uint8_t WaveTriangle = 0x10;
constexpr std::uint8_t WaveSawtooth = 0x20;
constexpr std::uint8_t WavePulse = 0x40;
constexpr std::uint8_t WaveNoise = 0x80;

constexpr std::uint32_t PhaseMask = 0xFFFFFF;

// The noise generator's output stands for a while at each step of the accumulator's bit 19; a
// scrambled value of those steps reads as random as the real shift register does.
std::uint8_t NoiseAt(std::uint32_t phase) {
  std::uint32_t x = (phase >> 19) * 0x9E3779B1u;
  x ^= x >> 15;
  return static_cast<std::uint8_t>(x >> 8);
}

}  // namespace

std::uint32_t SidRegisters::PhaseAt(std::uint64_t clock) const {
  if (S.Registers[Voice3Control] & ControlTest) return 0;
  const std::uint32_t frequency =
      S.Registers[Voice3FrequencyLow] | (std::uint32_t{S.Registers[Voice3FrequencyHigh]} << 8);
  return static_cast<std::uint32_t>((S.Phase + frequency * (clock - S.PhaseCycle)) & PhaseMask);
}

std::uint8_t SidRegisters::Read(int reg, std::uint64_t clock) const {
  switch (reg & 0x1F) {
    case PotX:
    case PotY:
      return 0xFF;
    case Oscillator3: {
      const std::uint8_t control = S.Registers[Voice3Control];
      const std::uint32_t phase = PhaseAt(clock);
      std::uint8_t value = 0xFF;
      bool any = false;
      if (control & WaveTriangle) {
        const auto ramp = static_cast<std::uint8_t>(phase >> 15);
        value &= (phase & 0x800000) ? static_cast<std::uint8_t>(~ramp) : ramp;
        any = true;
      }
      if (control & WaveSawtooth) {
        value &= static_cast<std::uint8_t>(phase >> 16);
        any = true;
      }
      if (control & WavePulse) {
        const std::uint32_t width = ((S.Registers[Voice3PulseHigh] & 0x0Fu) << 8) |
                                    S.Registers[Voice3PulseLow];
        value &= (phase >> 12) >= width ? 0xFF : 0x00;
        any = true;
      }
      if (control & WaveNoise) {
        value &= NoiseAt(phase);
        any = true;
      }
      return any ? value : 0;
    }
    case Envelope3:
      // A held note stands at its sustain level.
      return (S.Registers[Voice3Control] & ControlGate)
                 ? static_cast<std::uint8_t>((S.Registers[Voice3SustainRelease] >> 4) * 0x11)
                 : 0;
    default:
      return S.LastWritten;
  }
}

void SidRegisters::Write(int reg, std::uint8_t value, std::uint64_t clock) {
  reg &= 0x1F;
  // The accumulator runs on at the old frequency up to the write.
  S.Phase = PhaseAt(clock);
  S.PhaseCycle = clock;
  S.Registers[reg] = value;
  S.LastWritten = value;
}

void SidRegisters::Reset(std::uint64_t clock) {
  S = State{};
  S.PhaseCycle = clock;
}

template <class Stream, class Self>
void SidRegisters::Fields(Stream& s, Self& state) {
  s.Raw(state.Registers, sizeof state.Registers);
  s.Field(state.LastWritten);
  s.Field(state.Phase);
  s.Field(state.PhaseCycle);
}

void SidRegisters::Save(SnapshotWriter& out) const { Fields(out, S); }

bool SidRegisters::Load(SnapshotReader& in) {
  State loaded = S;
  Fields(in, loaded);
  if (in.Failed || loaded.Phase > PhaseMask) return false;
  S = loaded;
  return true;
}

}  // namespace quillon::accurate
