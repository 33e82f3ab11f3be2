#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/machine.h"
#include "core/memory.h"
#include "host/host_state.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "support/machine.h"

namespace quillon {
namespace {

using test::PowerOnMachine;

// Steps voice 0's envelope until its state leaves `state`; returns the number of steps.
int StepsWhile(std::uint32_t state) {
  int steps = 0;
  while (Sid.Voices[0].EnvState == state && steps < 100000) {
    EnvelopeStep(0);
    ++steps;
  }
  return steps;
}

TEST(Sid, RegistersRepeatEveryThirtyTwoBytesAndTheTopThreeAreMissing) {
  PowerOnMachine();
  MemWrite(0xD420, 0x12);
  EXPECT_EQ(MemRead(0xD400), 0x12);
  EXPECT_EQ(MemRead(0xD7E0), 0x12);
  // The read-only registers hold what was last written to them.
  MemWrite(0xD419, 0x34);
  EXPECT_EQ(MemRead(0xD419), 0x34);
  for (std::uint16_t address : {0xD41D, 0xD41E, 0xD41F, 0xD43F}) {
    MemWrite(address, 0x00);
    EXPECT_EQ(MemRead(address), 0xFF);
  }
  EXPECT_EQ(MemRead(0xD41C), 0) << "voice 2 was never gated";

  HardReset();
  EXPECT_EQ(MemRead(0xD400), 0);
  EXPECT_EQ(MemRead(0xD419), 0);
}

TEST(Sid, GateEventsComeOnlyFromGateOrWaveformChanges) {
  PowerOnMachine();
  SidWrite(0x05, 0x00);
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x11);
  SidVoice& v = Sid.Voices[0];
  EXPECT_EQ(ActiveVoices.load(), 1u);
  EXPECT_EQ(v.Wave, &WaveTables[1]);
  EXPECT_EQ(EnvelopeStep(0), EnvelopeTop) << "attack rate 0 reaches the top in one step";
  EXPECT_EQ(v.EnvState, EnvelopeSustain) << "sustain 15 skips the decay";

  // The same byte again, or a change in the sync/ring/test bits only, is no gate event.
  SidWrite(0x04, 0x11);
  SidWrite(0x04, 0x1F);
  EXPECT_EQ(v.Level.load(), EnvelopeTop);
  EXPECT_EQ(v.EnvState, EnvelopeSustain);

  // A new waveform with the gate held restarts the note from level 0.
  SidWrite(0x04, 0x21);
  EXPECT_EQ(v.Wave, &WaveTables[2]);
  EXPECT_EQ(v.Level.load(), 0);
  EXPECT_EQ(v.EnvState, EnvelopeAttack);

  SidWrite(0x04, 0x20);
  EXPECT_EQ(v.EnvState, EnvelopeRelease);
  EXPECT_EQ(ActiveVoices.load(), 1u) << "a released voice sounds on";
}

TEST(Sid, EnvelopeRatesTakeTheirDocumentedNumberOfSteps) {
  PowerOnMachine();
  EXPECT_EQ(EnvelopeRates[0], 0xFFFFFFFFu) << "only the fastest rate saturates";
  EXPECT_EQ(EnvelopeRates[1], 134217728u * 16);
  EXPECT_EQ(EnvelopeRates[15], 134217u * 16);

  // Attack 15, decay 15 to sustain 8, release 15.
  SidWrite(0x05, 0xFF);
  SidWrite(0x06, 0x8F);
  SidWrite(0x04, 0x41);
  EXPECT_EQ(StepsWhile(EnvelopeAttack), 497);
  EXPECT_EQ(Sid.Voices[0].Level.load(), EnvelopeTop);
  EXPECT_EQ(Sid.Voices[0].EnvState, EnvelopeDecay);
  StepsWhile(EnvelopeDecay);
  EXPECT_EQ(Sid.Voices[0].Level.load(), 8 << 27);
  EnvelopeStep(0);
  EXPECT_EQ(Sid.Voices[0].Level.load(), 8 << 27) << "sustain holds";

  // Writing the attack/decay register takes effect on the sounding note.
  SidWrite(0x06, 0xFF);
  SidWrite(0x04, 0x40);
  ASSERT_EQ(Sid.Voices[0].EnvState, EnvelopeRelease);
  SidWrite(0x06, 0x00);
  EXPECT_EQ(EnvelopeStep(0), 0) << "release rate 0 falls in one step";
  EXPECT_EQ(ActiveVoices.load(), 0u);

  SidWrite(0x06, 0xFF);
  SidWrite(0x04, 0x41);
  StepsWhile(EnvelopeAttack);
  SidWrite(0x04, 0x40);
  int releaseSteps = 0;
  while (ActiveVoices.load() & 1) {
    EnvelopeStep(0);
    ++releaseSteps;
  }
  EXPECT_EQ(releaseSteps, 1489);
}

TEST(Sid, D41CFollowsVoiceTwoAndNotTheOthers) {
  PowerOnMachine();
  SidWrite(0x13, 0x00);
  SidWrite(0x14, 0xF0);
  SidWrite(0x12, 0x11);
  SidWrite(0x04, 0x11);
  EnvelopeStep(2);
  EXPECT_EQ(SidRead(0x1C), 254);
  SidWrite(0x14, 0xF9);
  SidWrite(0x12, 0x10);
  EnvelopeStep(2);
  EXPECT_LT(SidRead(0x1C), 254);
  EXPECT_GT(SidRead(0x1C), 0);
}

TEST(SidMixer, WaveTablesSumTheirBaseWaveformsLessOne) {
  PowerOnMachine();
  EXPECT_EQ(SampleRate, 11025u);
  EXPECT_EQ(SamplesPerTick, 183);
  EXPECT_EQ(Host.SpeedDivisor, 164);
  for (const WaveTable& table : WaveTables) ASSERT_EQ(table.Length, 64u);
  const std::int16_t* triangle = WaveTables[1].Samples;
  const std::int16_t* sawtooth = WaveTables[2].Samples;
  const std::int16_t* pulse = WaveTables[4].Samples;
  const std::int16_t* noise = WaveTables[8].Samples;
  for (int k = 0; k < 64; ++k) {
    EXPECT_EQ(WaveTables[0].Samples[k], -1);
    EXPECT_LE(std::abs(noise[k] + 1), 8191);
    EXPECT_EQ(WaveTables[15].Samples[k], triangle[k] + sawtooth[k] + pulse[k] + noise[k] + 3);
    EXPECT_EQ(WaveTables[6].Samples[k], sawtooth[k] + pulse[k] + 1);
  }
  EXPECT_EQ(triangle[0], -7680 - 1);
  EXPECT_EQ(triangle[31], 8192 - 1);
  EXPECT_EQ(triangle[32], 7680 - 1);
  EXPECT_EQ(triangle[63], -8192 - 1);
  EXPECT_EQ(sawtooth[0], -7936 - 1);
  EXPECT_EQ(sawtooth[63], 8192 - 1);
  EXPECT_EQ(pulse[31], -8192 - 1);
  EXPECT_EQ(pulse[32], 8192 - 1);
  EXPECT_TRUE(std::any_of(noise, noise + 64, [](std::int16_t s) { return s < -1; }));
  EXPECT_TRUE(std::any_of(noise, noise + 64, [](std::int16_t s) { return s > 0; }));
}

TEST(SidMixer, VoicesAddIntoTheBufferWithTheClampAfterEachVoice) {
  PowerOnMachine();
  SidMix();
  EXPECT_TRUE(std::all_of(MixBuffer, MixBuffer + SamplesPerTick, [](std::int16_t s) { return s == 0; }));

  // No waveform, frequency 0: sample 0 of table 0 at full amplitude gives -1 throughout.
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x01);
  SidMix();
  EXPECT_TRUE(std::all_of(MixBuffer, MixBuffer + SamplesPerTick, [](std::int16_t s) { return s == -1; }));

  // A 1 Hz sawtooth climbs by one table step every 173 samples or so.
  SidWrite(0x00, 16);
  SidWrite(0x04, 0x21);
  SidMix();
  EXPECT_EQ(MixBuffer[0], (-7937 * 254) >> 8);
  EXPECT_EQ(MixBuffer[182], (-7681 * 254) >> 8);
  EXPECT_EQ(Sid.Voices[0].Phase, 183u * 95);

  // Three pulse voices in their upper half stay below the clamp; with noise added they reach it.
  for (int voice = 0; voice < 3; ++voice) {
    SidWrite(static_cast<std::uint8_t>(7 * voice + 6), 0xF0);
    SidWrite(static_cast<std::uint8_t>(7 * voice + 4), 0x00);
    SidWrite(static_cast<std::uint8_t>(7 * voice + 4), 0x41);
    Sid.Voices[voice].Phase = 40u << 14;
  }
  SidWrite(0x00, 0);
  SidMix();
  EXPECT_EQ(MixBuffer[0], 3 * ((8191 * 254) >> 8));
  for (int voice = 0; voice < 3; ++voice) {
    SidWrite(static_cast<std::uint8_t>(7 * voice + 4), 0xF1);
    Sid.Voices[voice].Phase = 31u << 14;  // triangle at its peak, pulse low, sawtooth mid-way
  }
  for (int k = 0; k < 64; ++k) WaveTables[15].Samples[k] = 32766;
  SidMix();
  EXPECT_EQ(MixBuffer[0], 32767);
  for (int k = 0; k < 64; ++k) WaveTables[15].Samples[k] = -32768;
  SidMix();
  EXPECT_EQ(MixBuffer[0], -32767) << "the lower bound is one above the 16-bit minimum";
}

TEST(SidMixer, HighestFrequencyAndLowSampleRatesStayInsideTheTable) {
  PowerOnMachine();
  SidWrite(0x00, 0xFF);
  SidWrite(0x01, 0xFF);
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x21);
  for (int tick = 0; tick < 50; ++tick) {
    SidMix();
    ASSERT_LT(Sid.Voices[0].Phase, 64u << 14);
  }
  // Below 4096 samples per second one step would pass a whole cycle.
  ASSERT_EQ(SidInit(1000, 10), 0);
  SidWrite(0x04, 0x20);
  SidWrite(0x04, 0x21);
  for (int tick = 0; tick < 50; ++tick) {
    SidMix();
    ASSERT_LT(Sid.Voices[0].Phase, 64u << 14);
  }
}

TEST(SidMixer, PausedTicksFreezeTheEnvelopes) {
  PowerOnMachine();
  SidWrite(0x06, 0xF8);
  SidWrite(0x04, 0x11);
  SoundTimerTick();
  SidWrite(0x04, 0x10);
  SoundTimerTick();
  const std::int32_t level = Sid.Voices[0].Level.load();
  EXPECT_LT(level, EnvelopeTop);
  Host.Paused = 1;
  for (int tick = 0; tick < 10; ++tick) SoundTimerTick();
  EXPECT_EQ(Sid.Voices[0].Level.load(), level);
  Host.Paused = 0;
  SoundTimerTick();
  EXPECT_LT(Sid.Voices[0].Level.load(), level);
}

int SoundAllocations = 0;
int FailingSoundAllocation = 0;
void* CountedSoundAllocation(std::size_t size) {
  return ++SoundAllocations == FailingSoundAllocation ? nullptr : std::malloc(size);
}

TEST(SidMixer, MissingBuffersSilenceTheMixButEnvelopesRunOn) {
  PowerOnMachine();
  AllocateSoundBlock = CountedSoundAllocation;
  FailingSoundAllocation = 1;  // the mix buffer
  EXPECT_EQ(SidInit(11025, 60), 0);
  EXPECT_EQ(MixBuffer, nullptr);
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x11);
  SoundTimerTick();
  EXPECT_EQ(Sid.Voices[0].Level.load(), EnvelopeTop);

  SoundAllocations = 0;
  FailingSoundAllocation = 1 + 4;  // wave table 3: triangle and sawtooth
  EXPECT_EQ(SidInit(11025, 60), 1);
  EXPECT_NE(MixBuffer, nullptr);
  EXPECT_EQ(WaveTables[3].Samples, nullptr);
  EXPECT_NE(WaveTables[4].Samples, nullptr) << "the other tables are still built";
  SidWrite(0x04, 0x30);
  SidWrite(0x04, 0x31);
  SoundTimerTick();
  EXPECT_EQ(MixBuffer[0], 0);

  SoundStart();
  SoundShutdown();
  EXPECT_EQ(MixBuffer, nullptr);
  EXPECT_EQ(WaveTables[0].Samples, nullptr);
  SoundShutdown();
  AllocateSoundBlock = std::malloc;
}

}  // namespace
}  // namespace quillon
