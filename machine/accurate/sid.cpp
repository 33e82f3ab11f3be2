#include "accurate/sid.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace quillon::accurate {

namespace {

constexpr std::uint8_t SettleCycles = 2;
constexpr std::uint64_t LongestBatch = 1 << 24;
constexpr std::uint64_t PotPeriod = 512;
constexpr double LowestClock = 1e5;
constexpr double HighestClock = 1e7;

// The voice whose MSB synchronises and ring-modulates voice n: 1 <- 3, 2 <- 1, 3 <- 2.
int SourceOf(int voice) { return (voice + 2) % 3; }

bool ValidVoice(const SidVoice& v) {
  const bool divider =
      std::find(std::begin(SidExponentialDividers), std::end(SidExponentialDividers),
                v.ExponentialDivider) != std::end(SidExponentialDividers);
  return v.PulseWidth <= 0xFFF && v.Accumulator <= SidAccumulatorMask &&
         v.Previous <= SidAccumulatorMask && v.Noise <= SidNoiseMask && v.Wave <= 0xFFF &&
         v.Phase <= SidRelease && v.RatePosition < SidRateCycle && divider &&
         v.ExponentialCount < 30;
}

}  // namespace

Sid::Sid(SidModel model, double clock) : s_{}, output_(model, clock), tables_(&TablesFor(model)) {
  s_.Model = model;
  s_.Clock = clock;
  for (SidVoice& voice : s_.Voices) {
    voice.Accumulator = 0;
    voice.Reset();
  }
  std::fill(std::begin(s_.PotInput), std::end(s_.PotInput), 0xFF);
  std::fill(std::begin(s_.PotValue), std::end(s_.PotValue), 0xFF);
  s_.StagedSilent = true;
}

void Sid::SetModel(SidModel model) {
  FlushBlocks();
  s_.Model = model;
  tables_ = &TablesFor(model);
  output_.Configure(model, s_.Clock);
}

void Sid::SetClock(double cyclesPerSecond) {
  if (!(cyclesPerSecond >= LowestClock && cyclesPerSecond <= HighestClock)) return;
  FlushBlocks();
  s_.Clock = cyclesPerSecond;
  output_.Configure(s_.Model, s_.Clock);
}

void Sid::Reset(std::uint64_t cycle) {
  RunBefore(cycle);
  FlushBlocks();
  for (SidVoice& voice : s_.Voices) voice.Reset();
  for (int reg = SidCutoffLow; reg <= SidModeVolume; ++reg) output_.WriteRegister(reg, 0);
  s_.BusValue = 0;
  s_.BusCycle = cycle;
  s_.Settle = SettleCycles;
}

// --- Time -----------------------------------------------------------------------------------

void Sid::AdvanceTo(std::uint64_t cycle) { RunBefore(cycle + 1); }

// A silent chip with nothing staged needs no staging room: its batch runs to the end.
void Sid::RunBefore(std::uint64_t cycle) {
  while (s_.NextStep < cycle) {
    if (NeedsSteps()) {
      Step();
      continue;
    }
    const std::uint64_t room = s_.StagedSilent && Silent() ? LongestBatch : Chunk - s_.Staged;
    RunBatch(static_cast<int>(std::min<std::uint64_t>(cycle - s_.NextStep, room)));
  }
}

bool Sid::Silent() const {
  return std::all_of(std::begin(s_.Voices), std::end(s_.Voices), [](const SidVoice& voice) {
    return voice.Silent() && !(voice.Control & SidSync);
  });
}

// Cycle by cycle: while a write settles, while noise is combined (its write-back), and where a
// synchronised voice is itself the sync or ring source of another.
bool Sid::NeedsSteps() const {
  if (s_.Settle != 0) return true;
  for (int v = 0; v < 3; ++v) {
    const SidVoice& voice = s_.Voices[v];
    const bool sourceSynced = (s_.Voices[SourceOf(v)].Control & SidSync) != 0;
    if (voice.NoiseCombined() || (sourceSynced && (voice.Control & (SidSync | SidRing)))) {
      return true;
    }
  }
  return false;
}

void Sid::Step() {
  const SidModelTables& tables = *tables_;
  SidVoice* voices = s_.Voices;
  bool rose[3];
  bool shifted[3];
  for (int v = 0; v < 3; ++v) {
    voices[v].ClockEnvelope();
    shifted[v] = voices[v].NoiseClock;
    rose[v] = voices[v].ClockOscillator();
  }
  for (int v = 0; v < 3; ++v) {
    if ((voices[v].Control & SidSync) && rose[SourceOf(v)]) voices[v].Accumulator = 0;
  }
  MakeStagedLoud();
  for (int v = 0; v < 3; ++v) {
    voices[v].SelectWave(voices[SourceOf(v)], Late(), shifted[v], tables);
    s_.Levels[v][s_.Staged] = tables.Wave[voices[v].Wave] * tables.Envelope[voices[v].Level];
  }
  for (SidVoice& voice : s_.Voices) voice.TakeGate();
  if (s_.Settle != 0) --s_.Settle;
  StageCycles(1);
}

// Each voice on its own: the sync and ring sources as they stood before the batch, since
// nothing synchronises them.
void Sid::RunBatch(int cycles) {
  const SidModelTables& tables = *tables_;
  const SidVoice start[3] = {s_.Voices[0], s_.Voices[1], s_.Voices[2]};
  if (!Silent()) MakeStagedLoud();
  for (int v = 0; v < 3; ++v) {
    SidVoice& voice = s_.Voices[v];
    float* levels = &s_.Levels[v][s_.Staged];
    if (voice.Control & SidSync) {
      voice.RunSynced(cycles, start[SourceOf(v)], Late(), tables, levels);
    } else if (voice.Silent()) {
      voice.RunSilent(cycles, start[SourceOf(v)], Late(), tables);
      if (!s_.StagedSilent) std::fill(levels, levels + cycles, 0.0f);
    } else {
      voice.Run(cycles, start[SourceOf(v)], Late(), tables, levels);
    }
  }
  StageCycles(cycles);
}

void Sid::StageCycles(int cycles) {
  TakePots(s_.NextStep, cycles);
  s_.NextStep += static_cast<std::uint64_t>(cycles);
  if (s_.StagedSilent && s_.Staged + cycles >= Chunk) {
    // Silence has no levels to stage: its whole blocks go out at once.
    const int total = s_.Staged + cycles;
    output_.ProcessSilence(total & ~(SidOutput::BlockCycles - 1));
    s_.Staged = static_cast<std::uint16_t>(total & (SidOutput::BlockCycles - 1));
    return;
  }
  s_.Staged = static_cast<std::uint16_t>(s_.Staged + cycles);
  if (s_.Staged == Chunk) Flush(Chunk);
}

// The staged cycles have been silent so far and their levels were never written: write them
// before a sounding cycle joins them.
void Sid::MakeStagedLoud() {
  if (!s_.StagedSilent) return;
  for (auto& levels : s_.Levels) std::fill(levels, levels + s_.Staged, 0.0f);
  s_.StagedSilent = false;
}

// Hands the first `cycles` staged cycles (a multiple of four) to the analog side.
void Sid::Flush(int cycles) {
  if (s_.StagedSilent) {
    output_.ProcessSilence(cycles);
  } else {
    const float* const levels[3] = {s_.Levels[0], s_.Levels[1], s_.Levels[2]};
    output_.Process(levels, cycles);
    for (auto& voice : s_.Levels) {
      std::memmove(voice, voice + cycles,
                   sizeof(float) * static_cast<std::size_t>(s_.Staged - cycles));
    }
  }
  s_.Staged = static_cast<std::uint16_t>(s_.Staged - cycles);
  if (s_.Staged == 0) s_.StagedSilent = true;
}

// Before the analog side changes: every whole block staged so far goes out as it was.
void Sid::FlushBlocks() { Flush(s_.Staged & ~(SidOutput::BlockCycles - 1)); }

// The pots' conversion ends every 512 cycles, counted from power-on.
void Sid::TakePots(std::uint64_t first, int cycles) {
  const std::uint64_t conversion = (first + PotPeriod - 1) / PotPeriod * PotPeriod;
  if (conversion < first + static_cast<std::uint64_t>(cycles)) {
    std::copy(std::begin(s_.PotInput), std::end(s_.PotInput), std::begin(s_.PotValue));
  }
}

void Sid::SetPots(std::uint8_t x, std::uint8_t y, std::uint64_t cycle) {
  RunBefore(cycle);
  s_.PotInput[0] = x;
  s_.PotInput[1] = y;
}

// --- Registers ------------------------------------------------------------------------------

std::uint8_t Sid::RegisterValue(int reg, std::uint64_t cycle) const {
  switch (reg) {
    case SidPotX: return s_.PotValue[0];
    case SidPotY: return s_.PotValue[1];
    case SidOscillator3: return static_cast<std::uint8_t>(s_.Voices[2].Wave >> 4);
    case SidEnvelope3: return s_.Voices[2].Level;
    default: {
      // Write-only and unused registers read the data bus, which forgets its value.
      const std::uint64_t hold = s_.Model == SidModel::Mos6581 ? SidBusHold6581 : SidBusHold8580;
      return cycle - s_.BusCycle < hold ? s_.BusValue : 0;
    }
  }
}

std::uint8_t Sid::Read(int reg, std::uint64_t cycle) {
  RunBefore(cycle);
  reg &= 0x1F;
  const std::uint8_t value = RegisterValue(reg, cycle);
  if (reg >= SidPotX && reg <= SidEnvelope3) {
    s_.BusValue = value;
    s_.BusCycle = cycle;
  }
  return value;
}

std::uint8_t Sid::Peek(int reg, std::uint64_t cycle) {
  RunBefore(cycle);
  return RegisterValue(reg & 0x1F, cycle);
}

void Sid::Write(int reg, std::uint8_t value, std::uint64_t cycle) {
  RunBefore(cycle);
  reg &= 0x1F;
  s_.BusValue = value;
  s_.BusCycle = cycle;
  if (reg >= SidCutoffLow) {
    if (reg <= SidModeVolume) {
      FlushBlocks();
      output_.WriteRegister(reg, value);
    }
    return;
  }
  SidVoice& voice = s_.Voices[reg / SidVoiceRegisters];
  switch (reg % SidVoiceRegisters) {
    case SidFrequencyLow:
      voice.Frequency = static_cast<std::uint16_t>((voice.Frequency & 0xFF00) | value);
      break;
    case SidFrequencyHigh:
      voice.Frequency = static_cast<std::uint16_t>((voice.Frequency & 0x00FF) | (value << 8));
      break;
    case SidPulseLow:
      voice.PulseWidth = static_cast<std::uint16_t>((voice.PulseWidth & 0x0F00) | value);
      break;
    case SidPulseHigh:
      voice.PulseWidth =
          static_cast<std::uint16_t>((voice.PulseWidth & 0x00FF) | ((value & 0x0F) << 8));
      break;
    case SidControl: voice.Control = value; break;
    case SidAttackDecay: voice.AttackDecay = value; break;
    default: voice.SustainRelease = value; break;
  }
  s_.Settle = SettleCycles;
}

std::size_t Sid::TakeSamples(std::int16_t* out, std::size_t max) {
  FlushBlocks();
  return output_.Take(out, max);
}

// --- Snapshots ------------------------------------------------------------------------------

template <class Stream, class S>
void Sid::Fields(Stream& stream, S& s) {
  stream.Flag(s.Model);
  stream.Raw(&s.Clock, sizeof s.Clock);
  stream.Field(s.NextStep);
  for (auto& v : s.Voices) {
    stream.Field(v.Frequency);
    stream.Field(v.PulseWidth);
    stream.Field(v.Control);
    stream.Field(v.AttackDecay);
    stream.Field(v.SustainRelease);
    stream.Field(v.Accumulator);
    stream.Field(v.Previous);
    stream.Field(v.Noise);
    stream.Flag(v.NoiseClock);
    stream.Flag(v.PulseHigh);
    stream.Field(v.Wave);
    stream.Field(v.Level);
    stream.Field(v.Phase);
    stream.Field(v.RatePosition);
    stream.Field(v.ExponentialCount);
    stream.Field(v.ExponentialDivider);
    stream.Flag(v.HoldZero);
    stream.Flag(v.Gate);
  }
  stream.Field(s.BusValue);
  stream.Field(s.BusCycle);
  for (auto& pot : s.PotInput) stream.Field(pot);
  for (auto& pot : s.PotValue) stream.Field(pot);
  stream.Field(s.Settle);
  stream.Field(s.Staged);
  stream.Flag(s.StagedSilent);
  const std::size_t staged = std::min<std::size_t>(s.Staged, Chunk);
  if (!s.StagedSilent) {
    for (auto& levels : s.Levels) stream.Raw(levels, sizeof(float) * staged);
  }
}

void Sid::Save(SnapshotWriter& out) const {
  Fields(out, s_);
  output_.Save(out);
}

bool Sid::Load(SnapshotReader& in) {
  State loaded = s_;
  Fields(in, loaded);
  bool valid = !in.Failed && loaded.Clock >= LowestClock && loaded.Clock <= HighestClock &&
               loaded.Settle <= SettleCycles && loaded.Staged < Chunk;
  for (const SidVoice& voice : loaded.Voices) valid = valid && ValidVoice(voice);
  for (const auto& levels : loaded.Levels) {
    valid = valid && std::all_of(levels, levels + loaded.Staged,
                                 [](float level) { return std::isfinite(level); });
  }
  if (!valid || !output_.Load(in)) return false;
  s_ = loaded;
  tables_ = &TablesFor(s_.Model);
  output_.Configure(s_.Model, s_.Clock);
  return true;
}

}  // namespace quillon::accurate
