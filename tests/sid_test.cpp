#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>
#include <vector>

#include "sound/sound_output.h"
#include "core/machine.h"
#include "core/memory.h"
#include "session/host_state.h"
#include "media/program_file.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

// Steps voice 0 until `done` holds; returns the number of steps.
template <typename Done>
int StepsUntil(Done done) {
  int steps = 0;
  for (; !done() && steps < 100000; ++steps) EnvelopeStep(0);
  return steps;
}

TEST(Sid, GateEventsAndEnvelopeRates) {
  test::PowerOnMachine();
  SidVoice& v = Sid.Voices[0];
  MemWrite(0xD426, 0xF0);  // a mirror of $D406: sustain 15, release 0
  MemWrite(0xD404, 0x11);
  EXPECT_EQ(EnvelopeStep(0), EnvelopeTop) << "attack rate 0 reaches the top in one step";
  EXPECT_EQ(v.EnvState, EnvelopeSustain) << "sustain 15 skips the decay";
  MemWrite(0xD404, 0x1F);  // sync, ring and test bits raise no gate event
  EXPECT_EQ(v.Level.load(), EnvelopeTop);
  MemWrite(0xD404, 0x21);  // a new waveform with the gate held restarts the note
  EXPECT_EQ(v.Level.load(), 0);
  MemWrite(0xD404, 0x20);
  EXPECT_EQ(EnvelopeStep(0), 0) << "release rate 0 falls in one step";
  EXPECT_EQ(ActiveVoices.load(), 0u);

  MemWrite(0xD405, 0xFF);
  MemWrite(0xD406, 0x8F);
  MemWrite(0xD404, 0x41);
  // Steps of 50 ms: attack 15 rises in 8 s, release 15 falls in 24 s.
  EXPECT_EQ(StepsUntil([&] { return v.EnvState != EnvelopeAttack; }), 159);
  StepsUntil([&] { return v.EnvState != EnvelopeDecay; });
  EXPECT_EQ(v.Level.load(), 8 << 27) << "decayed to sustain level 8";
  MemWrite(0xD406, 0xFF);
  MemWrite(0xD404, 0x40);
  MemWrite(0xD404, 0x41);
  StepsUntil([&] { return v.EnvState == EnvelopeSustain; });
  MemWrite(0xD404, 0x40);
  EXPECT_EQ(StepsUntil([] { return ActiveVoices.load() == 0; }), 477);
  MemWrite(0xD43D, 0x00);
  EXPECT_EQ(MemRead(0xD43D), 0xFF) << "registers past $D41C read $FF";
}

TEST(Sid, BasicProgramSeesVoiceThreesEnvelopeRiseAndFallAsTicksRun) {
  test::PowerOnMachine();
  test::RunFrames(150);
  MainRam[251] = 0;
  // Attack 8, sustain 15, release 9; the level goes to the screen's first two cells, and
  // location 251 tells the program when to let go.
  LoadProgramFile(test::WriteTempFile("sid.prg", test::BasicProgramFile(
      {"10 POKE 54291,128:POKE 54292,249:POKE 54290,17",
       "20 POKE 1024,PEEK(54300):IF PEEK(251)=0 THEN 20", "30 POKE 54290,16",
       "40 POKE 1025,PEEK(54300):GOTO 40"})).c_str(), MainRam);
  test::RunFrames(10);
  ASSERT_EQ(ActiveVoices.load(), 4u);
  EXPECT_EQ(MainRam[0x0400], 0);
  // Each attack step, one a tick of 50 ms, adds 2 x 10737418 x 50 to the level: attack 8 rises
  // in 100 ms.
  for (int expected : {127, 254, 254}) {
    SoundTimerTick();
    test::RunFrames(2);
    ASSERT_EQ(MainRam[0x0400], expected);
  }
  MainRam[251] = 1;
  test::RunFrames(2);
  EXPECT_EQ(MainRam[0x0401], 254);
  // Each release step takes 2 x floor(4294967 x 50 / 3) off the level: release 9 falls in
  // 750 ms.
  int steps = 0;
  while (ActiveVoices.load() & 4) {
    SoundTimerTick();
    test::RunFrames(1);
    const std::int64_t level = std::int64_t{EnvelopeTop} - ++steps * std::int64_t{143165566};
    ASSERT_EQ(MainRam[0x0401], std::max<std::int64_t>(level, 0) >> 23);
  }
  EXPECT_EQ(steps, 15);
}

TEST(SidMixer, TablesAndMixArithmetic) {
  test::PowerOnMachine();
  EXPECT_EQ(SamplesPerTick, 551) << "a twentieth of a second";
  EXPECT_EQ(Host.SpeedDivisor, 164);
  const std::int16_t *triangle = WaveTables[1].Samples, *sawtooth = WaveTables[2].Samples,
                     *pulse = WaveTables[4].Samples, *noise = WaveTables[8].Samples;
  EXPECT_EQ((std::vector<int>{triangle[0], triangle[31], triangle[32], triangle[63], sawtooth[0],
                              sawtooth[63], pulse[31], pulse[32]}),
            (std::vector<int>{-7681, 8191, 7679, -8193, -7937, 8191, -8193, 8191}));
  for (int k = 0; k < 64; ++k) {
    ASSERT_EQ(WaveTables[0].Samples[k], -1);
    ASSERT_LE(std::abs(noise[k] + 1), 8191);
    ASSERT_EQ(WaveTables[15].Samples[k], triangle[k] + sawtooth[k] + pulse[k] + noise[k] + 3);
  }
  SidMix();
  EXPECT_EQ(std::count(MixBuffer, MixBuffer + SamplesPerTick, 0), 551);
  // No waveform at frequency 0 gives sample 0 of table 0 at full amplitude: -1 throughout.
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x01);
  SidMix();
  EXPECT_EQ(std::count(MixBuffer, MixBuffer + SamplesPerTick, -1), 551);
  // Frequency 16 on the PAL clock is 0.94 Hz: a sawtooth moves one table step every 184
  // samples or so.
  SidWrite(0x00, 16);
  SidWrite(0x04, 0x21);
  SidMix();
  EXPECT_EQ(MixBuffer[0], (-7937 * 254) >> 8);
  EXPECT_EQ(MixBuffer[550], (-7425 * 254) >> 8);
  EXPECT_EQ(Sid.Voices[0].Phase, 551u * 89);
  // Three loud voices add up with the clamp after each: 32767 at the top, -32767 at the bottom.
  for (std::uint8_t base : {0, 7, 14}) {
    SidWrite(base + 6, 0xF0);
    SidWrite(base + 4, 0xF1);
  }
  for (std::int16_t extreme : {32766, -32768}) {
    std::fill_n(WaveTables[15].Samples, 64, extreme);
    SidMix();
    EXPECT_EQ(MixBuffer[0], extreme > 0 ? 32767 : -32767);
  }
}

int Allocations = 0;
void* FailFirstAllocation(std::size_t size) {
  return ++Allocations == 1 ? nullptr : std::malloc(size);
}

TEST(SidMixer, PausesMissingBufferAndLowRatesLeaveTheEnvelopesSound) {
  test::PowerOnMachine();
  SidWrite(0x06, 0xF8);
  SidWrite(0x04, 0x11);
  SidWrite(0x04, 0x10);
  Host.Paused = 1;
  SoundTimerTick();
  EXPECT_EQ(Sid.Voices[0].Level.load(), 0) << "paused ticks do nothing";
  Host.Paused = 0;
  // Without a mix buffer mixing is skipped and the envelopes still run.
  AllocateSoundBlock = FailFirstAllocation;
  EXPECT_EQ(SidInit(11025, 60), 0);
  SidWrite(0x04, 0x31);
  SidMix();
  EXPECT_EQ(Sid.Voices[0].Level.load(), EnvelopeTop);
  // Below 4096 samples per second the top frequency would step past a whole table.
  AllocateSoundBlock = std::malloc;
  ASSERT_EQ(SidInit(1000, 10), 0);
  SidWrite(0x00, 0xFF);
  SidWrite(0x01, 0xFF);
  SidWrite(0x04, 0x21);
  for (int tick = 0; tick < 20; ++tick) {
    SidMix();
    ASSERT_LT(Sid.Voices[0].Phase, 64u << 14);
  }
}

// The sound timer's thread mixes while the emulation thread raises gate events; run under
// ThreadSanitizer (label tsan) this shows the two never touch a voice at the same time.
TEST(SidThreads, GateEventsAndTimerTicksRunConcurrently) {
  test::PowerOnMachine();
  std::atomic<bool> writing{true};
  std::atomic<int> ticks{0};
  std::thread timer([&] {
    while (writing.load() || ticks.load() < 200) {
      SoundTimerTick();
      ticks.fetch_add(1);
    }
  });
  for (int round = 0; round < 20000; ++round) {
    for (int base = 0; base < 21; base += 7) {
      // New frequency and envelope, then the gate on with a waveform that changes, and off.
      const std::uint8_t values[] = {std::uint8_t(round), std::uint8_t(round >> 4), 0, 0,
                                     std::uint8_t(((round + base) & 0xF0) | 1),
                                     std::uint8_t(round * 7), std::uint8_t(round * 13)};
      for (int r : {0, 1, 5, 6, 4}) SidWrite(static_cast<std::uint8_t>(base + r), values[r]);
      SidWrite(static_cast<std::uint8_t>(base + 4), values[4] & 0xF0);
    }
    ASSERT_LE(SidRead(0x1C), 254);
    // The CPU's trap at the KERNAL's reset entry silences all voices.
    if (round % 1000 == 0) ActiveVoices.fetch_and(~AllVoicesMask);
  }
  writing = false;
  timer.join();
  EXPECT_EQ(ActiveVoices.load() & ~AllVoicesMask, 0u);
  for (const SidVoice& v : Sid.Voices) {
    EXPECT_TRUE(v.Level.load() >= 0 && v.Level.load() <= EnvelopeTop);
    EXPECT_LT(v.Phase, 64u << 14);
  }
}

}  // namespace
}  // namespace quillon
