#include "sid/sid.h"

#include "sid/mixer.h"

namespace quillon {

std::atomic<std::uint32_t> ActiveVoices{0};
SidState Sid;
std::uint32_t EnvelopeRates[16];

namespace {

// floor(2^30 / t) for the 6581's attack times t of 2, 8, 16, 24, 38, 56, 68, 80, 100, 250,
// 500, 800 ms and 1, 3, 5, 8 s. Over t steps of 1 ms, twice the entry lifts the level from 0 to
// 2^31.
constexpr std::uint32_t UnscaledEnvelopeRates[16] = {
    536870912, 134217728, 67108864, 44739242, 28256363, 19173961, 15790320, 13421772,
    10737418,  4294967,   2147483,  1342177,  1073741,  357913,   214748,   134217};

constexpr int ControlRegister = 4;
constexpr int AttackDecayRegister = 5;
constexpr int SustainReleaseRegister = 6;
constexpr int RegistersPerVoice = 7;

// The gate bit and the four waveform bits; the sync, ring and test bits are plain storage.
constexpr std::uint8_t GateEventBits = 0xF1;

std::uint8_t VoiceRegister(int voice, int offset) {
  return Sid.Registers[voice * RegistersPerVoice + offset].load(std::memory_order_relaxed);
}

void LoadAttackDecay(SidVoice& v, std::uint8_t value) {
  v.Attack.store(value >> 4, std::memory_order_relaxed);
  v.Decay.store(value & 0x0F, std::memory_order_relaxed);
}

void LoadSustainRelease(SidVoice& v, std::uint8_t value) {
  v.Sustain.store(value >> 4, std::memory_order_relaxed);
  v.Release.store(value & 0x0F, std::memory_order_relaxed);
}

// Decay and release run three times slower than the attack.
std::int64_t FallPerStep(std::uint32_t rate) { return 2 * std::int64_t{EnvelopeRates[rate] / 3}; }

}  // namespace

void ScaleEnvelopeRates(std::uint32_t stepMs) {
  EnvelopeRates[15] = UnscaledEnvelopeRates[15] * stepMs;
  for (int i = 14; i >= 0; --i) {
    const std::uint32_t product = UnscaledEnvelopeRates[i] * stepMs;
    // Faster rates are larger; a product below the slower rate above it has wrapped.
    EnvelopeRates[i] = product < EnvelopeRates[i + 1] ? 0xFFFFFFFFu : product;
  }
}

std::uint8_t SidRead(std::uint8_t index) {
  if (index == 0x1C) {
    return static_cast<std::uint8_t>(Sid.Voices[2].Level.load(std::memory_order_relaxed) >> 23);
  }
  if (index >= SidRegisterCount) return 0xFF;
  return Sid.Registers[index].load(std::memory_order_relaxed);
}

void SidWrite(std::uint8_t index, std::uint8_t value) {
  if (index >= SidRegisterCount) return;
  // Only this thread writes the registers, so a plain load and store do; no locked exchange.
  const std::uint8_t old = Sid.Registers[index].load(std::memory_order_relaxed);
  Sid.Registers[index].store(value, std::memory_order_relaxed);
  const int voice = index / RegistersPerVoice;
  if (voice >= SidVoiceCount) return;
  switch (index % RegistersPerVoice) {
    case ControlRegister:
      if ((old ^ value) & GateEventBits) {
        if (value & 1) {
          SidGateOn(voice);
        } else {
          SidGateOff(voice);
        }
      }
      break;
    case AttackDecayRegister:
      LoadAttackDecay(Sid.Voices[voice], value);
      break;
    case SustainReleaseRegister:
      LoadSustainRelease(Sid.Voices[voice], value);
      break;
    default:
      break;
  }
}

std::uint32_t SidVoiceFrequency(int voice) {
  return VoiceRegister(voice, 0) | (std::uint32_t{VoiceRegister(voice, 1)} << 8);
}

void SidHardReset() {
  for (auto& reg : Sid.Registers) reg.store(0, std::memory_order_relaxed);
}

void SidGateOn(int voice) {
  SidVoice& v = Sid.Voices[voice];
  const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
  v.Wave = &WaveTables[VoiceRegister(voice, ControlRegister) >> 4];
  ActiveVoices.fetch_or(1u << voice);
  v.Phase = 0;
  v.Level.store(0, std::memory_order_relaxed);
  v.EnvState = EnvelopeAttack;
  LoadAttackDecay(v, VoiceRegister(voice, AttackDecayRegister));
  LoadSustainRelease(v, VoiceRegister(voice, SustainReleaseRegister));
}

void SidGateOff(int voice) {
  const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
  Sid.Voices[voice].EnvState = EnvelopeRelease;
}

std::int32_t EnvelopeStep(int voice) {
  SidVoice& v = Sid.Voices[voice];
  // Formed in 64 bits: the fastest rate saturates at $FFFFFFFF and must not wrap the level.
  std::int64_t level = v.Level.load(std::memory_order_relaxed);
  switch (v.EnvState) {
    case EnvelopeAttack:
      level += 2 * std::int64_t{EnvelopeRates[v.Attack.load(std::memory_order_relaxed)]};
      if (level >= EnvelopeTop) {
        level = EnvelopeTop;
        v.EnvState =
            v.Sustain.load(std::memory_order_relaxed) == 15 ? EnvelopeSustain : EnvelopeDecay;
      }
      break;
    case EnvelopeDecay: {
      const std::int64_t sustainLevel = std::int64_t{v.Sustain.load(std::memory_order_relaxed)}
                                        << 27;
      level -= FallPerStep(v.Decay.load(std::memory_order_relaxed));
      if (level <= sustainLevel) {
        level = sustainLevel;
        v.EnvState = EnvelopeSustain;
      }
      break;
    }
    case EnvelopeRelease:
      level -= FallPerStep(v.Release.load(std::memory_order_relaxed));
      if (level <= 0) {
        level = 0;
        ActiveVoices.fetch_and(~(1u << voice));
      }
      break;
    default:
      break;
  }
  v.Level.store(static_cast<std::int32_t>(level), std::memory_order_relaxed);
  return static_cast<std::int32_t>(level);
}

SidImage SidCapture() {
  SidImage image{};
  for (int i = 0; i < SidRegisterCount; ++i) {
    image.Registers[i] = Sid.Registers[i].load(std::memory_order_relaxed);
  }
  const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
  image.ActiveVoices = static_cast<std::uint8_t>(ActiveVoices.load());
  for (int i = 0; i < SidVoiceCount; ++i) {
    const SidVoice& voice = Sid.Voices[i];
    SidImage::Voice& to = image.Voices[i];
    to.Wave = voice.Wave == nullptr ? NoWaveTable
                                    : static_cast<std::uint8_t>(voice.Wave - WaveTables);
    to.Phase = voice.Phase;
    to.Level = static_cast<std::uint32_t>(voice.Level.load());
    to.EnvState = static_cast<std::uint8_t>(voice.EnvState);
    to.Rates[0] = static_cast<std::uint8_t>(voice.Attack.load());
    to.Rates[1] = static_cast<std::uint8_t>(voice.Decay.load());
    to.Rates[2] = static_cast<std::uint8_t>(voice.Sustain.load());
    to.Rates[3] = static_cast<std::uint8_t>(voice.Release.load());
  }
  return image;
}

void SidRestore(const SidImage& image) {
  for (int i = 0; i < SidRegisterCount; ++i) {
    Sid.Registers[i].store(image.Registers[i], std::memory_order_relaxed);
  }
  const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
  ActiveVoices.store(image.ActiveVoices);
  for (int i = 0; i < SidVoiceCount; ++i) {
    const SidImage::Voice& from = image.Voices[i];
    SidVoice& voice = Sid.Voices[i];
    voice.Wave = from.Wave == NoWaveTable ? nullptr : &WaveTables[from.Wave];
    voice.Phase = from.Phase;
    voice.Level.store(static_cast<std::int32_t>(from.Level));
    voice.EnvState = from.EnvState;
    voice.Attack.store(from.Rates[0]);
    voice.Decay.store(from.Rates[1]);
    voice.Sustain.store(from.Rates[2]);
    voice.Release.store(from.Rates[3]);
  }
}

bool SidImageIsValid(const SidImage& image) {
  bool valid = image.ActiveVoices <= AllVoicesMask;
  for (const SidImage::Voice& voice : image.Voices) {
    valid = valid && (voice.Wave < WaveTableCount || voice.Wave == NoWaveTable) &&
            voice.Phase < (WaveTableLength << PhaseFractionBits) &&
            voice.Level <= static_cast<std::uint32_t>(EnvelopeTop) &&
            voice.EnvState <= EnvelopeRelease;
    for (std::uint8_t rate : voice.Rates) valid = valid && rate <= 15;
  }
  return valid;
}

}  // namespace quillon
