// The SID's register file, its three voice generators and their envelopes.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

namespace quillon {

// Bit v set: voice v is mixed and its envelope stepped. Changed by the emulation thread (gate
// on, the CPU's reset trap) and by the mixer's timer thread (end of release), always in one
// atomic operation.
extern std::atomic<std::uint32_t> ActiveVoices;
inline constexpr std::uint32_t AllVoicesMask = 0x7;

inline constexpr int SidVoiceCount = 3;
inline constexpr int SidRegisterCount = 0x1D;  // $00-$1C; $1D-$1F are not there

enum SidEnvelopeState : std::uint32_t {
  EnvelopeAttack = 0,
  EnvelopeDecay = 1,
  EnvelopeSustain = 2,
  EnvelopeRelease = 3,
};

// The envelope's top: shifted right by 23 it gives amplitudes 0 to 254.
inline constexpr std::int32_t EnvelopeTop = 0x7F000000;

struct WaveTable;

// The emulation thread raises gate events and the timer thread steps envelopes and mixes, so
// what both threads touch is guarded: Wave, Phase and EnvState only under Sid.VoiceLock; Level
// is written under the lock but read by $D41C without it; the rate indices are written by
// register writes without the lock.
struct SidVoice {
  const WaveTable* Wave;
  std::uint32_t Phase;
  std::atomic<std::int32_t> Level;
  std::uint32_t EnvState;
  std::atomic<std::uint32_t> Attack;
  std::atomic<std::uint32_t> Decay;
  std::atomic<std::uint32_t> Sustain;
  std::atomic<std::uint32_t> Release;
};

struct SidState {
  // Written by the emulation thread; the mixer reads the frequency bytes from its own thread.
  std::atomic<std::uint8_t> Registers[SidRegisterCount];
  SidVoice Voices[SidVoiceCount];
  // Held by a gate event and by a tick's work on a voice, so neither lands inside the other.
  std::mutex VoiceLock;
};
extern SidState Sid;

// The SID as a snapshot holds it: the register file and the voices, with each voice's wave as
// the number of its table (NoWaveTable for none).
inline constexpr std::uint8_t NoWaveTable = 0xFF;
struct SidImage {
  std::uint8_t Registers[SidRegisterCount];
  std::uint8_t ActiveVoices;
  struct Voice {
    std::uint8_t Wave;
    std::uint32_t Phase;
    std::uint32_t Level;
    std::uint8_t EnvState;
    std::uint8_t Rates[4];  // attack, decay, sustain, release
  } Voices[SidVoiceCount];
};

// The image's fields in a snapshot, in both directions (see interface/snapshot_stream.h).
template <class Stream>
void SidImageFields(Stream& s, SidImage& image) {
  s.Raw(image.Registers, sizeof image.Registers);
  s.Field(image.ActiveVoices);
  for (SidImage::Voice& voice : image.Voices) {
    s.Field(voice.Wave);
    s.Field(voice.Phase);
    s.Field(voice.Level);
    s.Field(voice.EnvState);
    s.Raw(voice.Rates, sizeof voice.Rates);
  }
}

// Takes the SID's state, and puts one back, under the voices' lock: the mixer's thread shares
// them.
SidImage SidCapture();
void SidRestore(const SidImage& image);
bool SidImageIsValid(const SidImage& image);

// Half the amount added to the level per attack step, for each rate index: 2^30 over the
// 6581's attack time in milliseconds, times the envelope step length (ScaleEnvelopeRates).
extern std::uint32_t EnvelopeRates[16];

// Sets EnvelopeRates for a step of stepMs milliseconds. A product that overflows 32 bits
// saturates at $FFFFFFFF.
void ScaleEnvelopeRates(std::uint32_t stepMs);

std::uint8_t SidRead(std::uint8_t index);
void SidWrite(std::uint8_t index, std::uint8_t value);

// The voice's 16-bit frequency from its two registers.
std::uint32_t SidVoiceFrequency(int voice);

// Zeroes the register file; the voices keep running.
void SidHardReset();

// Gate events; they take Sid.VoiceLock.
void SidGateOn(int voice);
void SidGateOff(int voice);

// Advances the voice's envelope by one step and returns its new level. The caller holds
// Sid.VoiceLock.
std::int32_t EnvelopeStep(int voice);

}  // namespace quillon
