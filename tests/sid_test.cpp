#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "host/host_state.h"
#include "media/program_file.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "support/basic_program.h"
#include "support/machine.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

using test::PowerOnMachine;

// Steps voice 0 until `done` holds; returns the number of steps.
template <typename Done>
int StepVoiceZeroUntil(Done done) {
  int steps = 0;
  for (; !done() && steps < 100000; ++steps) EnvelopeStep(0);
  return steps;
}

void LoadBasic(std::initializer_list<std::string_view> lines) {
  LoadProgramFile(test::WriteTempFile("sid.prg", test::BasicProgramFile(lines)).c_str());
}

TEST(Sid, GateEventsAndEnvelopeRates) {
  PowerOnMachine();
  SidVoice& v = Sid.Voices[0];
  MemWrite(0xD426, 0xF0);  // a mirror of $D406: sustain 15, release 0
  MemWrite(0xD404, 0x11);
  EXPECT_EQ(EnvelopeStep(0), EnvelopeTop) << "attack rate 0 reaches the top in one step";
  EXPECT_EQ(v.EnvState, EnvelopeSustain) << "sustain 15 skips the decay";
  MemWrite(0xD404, 0x11);
  MemWrite(0xD404, 0x1F);  // sync, ring and test bits raise no gate event
  EXPECT_EQ(v.Level.load(), EnvelopeTop);
  MemWrite(0xD404, 0x21);  // a new waveform with the gate held restarts the note
  EXPECT_EQ(v.Wave, &WaveTables[2]);
  EXPECT_EQ(v.Level.load(), 0);
  MemWrite(0xD404, 0x20);
  EXPECT_EQ(EnvelopeStep(0), 0) << "release rate 0 falls in one step";
  EXPECT_EQ(ActiveVoices.load(), 0u);

  MemWrite(0xD405, 0xFF);
  MemWrite(0xD406, 0x8F);
  MemWrite(0xD404, 0x41);
  EXPECT_EQ(StepVoiceZeroUntil([&] { return v.EnvState != EnvelopeAttack; }), 497);
  StepVoiceZeroUntil([&] { return v.EnvState != EnvelopeDecay; });
  EXPECT_EQ(v.Level.load(), 8 << 27);
  MemWrite(0xD406, 0xFF);  // takes effect on the sounding note
  MemWrite(0xD404, 0x40);
  EXPECT_EQ(StepVoiceZeroUntil([] { return ActiveVoices.load() == 0; }), 751);
  MemWrite(0xD404, 0x41);
  StepVoiceZeroUntil([&] { return v.EnvState == EnvelopeSustain; });
  MemWrite(0xD404, 0x40);
  EXPECT_EQ(StepVoiceZeroUntil([] { return ActiveVoices.load() == 0; }), 1489);

  for (std::uint16_t address : {0xD41D, 0xD43F}) {
    MemWrite(address, 0x00);
    EXPECT_EQ(MemRead(address), 0xFF);
  }
}

TEST(Sid, BasicProgramSeesVoiceThreesEnvelopeRiseAndFallAsTicksRun) {
  PowerOnMachine();
  test::RunFrames(150);
  MainRam[251] = 0;
  // Attack 8, sustain 15, release 9; the level goes to the screen's first two cells, and
  // location 251 tells the program when to let go.
  LoadBasic({"10 POKE 54291,128:POKE 54292,249:POKE 54290,17",
             "20 POKE 1024,PEEK(54300):IF PEEK(251)=0 THEN 20",
             "30 POKE 54290,16",
             "40 POKE 1025,PEEK(54300):GOTO 40"});
  test::RunFrames(10);
  ASSERT_EQ(ActiveVoices.load(), 4u);
  EXPECT_EQ(MainRam[0x0400], 0);
  // Each attack step adds 2 x 10737418 x 16 to the level.
  for (int expected : {40, 81, 122, 163, 204, 245, 254, 254}) {
    SoundTimerTick();
    test::RunFrames(2);
    ASSERT_EQ(MainRam[0x0400], expected);
  }
  MainRam[251] = 1;
  test::RunFrames(2);
  EXPECT_EQ(MainRam[0x0401], 254);
  // Each release step takes 2 x floor(4294967 x 16 / 3) off the level.
  int steps = 0;
  while (ActiveVoices.load() & 4) {
    SoundTimerTick();
    test::RunFrames(1);
    ++steps;
    const std::int64_t level = std::int64_t{EnvelopeTop} - steps * std::int64_t{45812980};
    ASSERT_EQ(MainRam[0x0401], std::max<std::int64_t>(level, 0) >> 23);
  }
  EXPECT_EQ(steps, 47);
}

TEST(Sid, KernalResetEntrySilencesAllVoices) {
  PowerOnMachine();
  test::RunFrames(150);
  LoadBasic({"10 POKE 54278,240:POKE 54285,240:POKE 54292,240",
             "20 POKE 54276,17:POKE 54283,33:POKE 54290,65:SYS 64738"});
  bool allSounded = false;
  for (int step = 0; step < 200 * 19968 && !(allSounded && ActiveVoices.load() == 0); ++step) {
    RunStep();
    allSounded = allSounded || ActiveVoices.load() == 7;
  }
  EXPECT_TRUE(allSounded);
  EXPECT_EQ(ActiveVoices.load(), 0u) << "SYS 64738 reaches $FCE2";

  SidWrite(0x04, 0x00);
  SidWrite(0x04, 0x11);
  Cpu.ResetRequest = 1;
  test::RunSteps(2);
  EXPECT_EQ(ActiveVoices.load(), 0u) << "a reset request enters at $FCE2";
}

TEST(SidMixer, TablesAndMixArithmetic) {
  PowerOnMachine();
  EXPECT_EQ(SamplesPerTick, 183);
  EXPECT_EQ(Host.SpeedDivisor, 164);
  const std::int16_t* const triangle = WaveTables[1].Samples;
  const std::int16_t* const sawtooth = WaveTables[2].Samples;
  const std::int16_t* const pulse = WaveTables[4].Samples;
  const std::int16_t* const noise = WaveTables[8].Samples;
  EXPECT_EQ((std::vector<int>{triangle[0], triangle[31], triangle[32], triangle[63], sawtooth[0],
                              sawtooth[63], pulse[31], pulse[32]}),
            (std::vector<int>{-7681, 8191, 7679, -8193, -7937, 8191, -8193, 8191}));
  for (int k = 0; k < 64; ++k) {
    ASSERT_EQ(WaveTables[0].Samples[k], -1);
    ASSERT_LE(std::abs(noise[k] + 1), 8191);
    ASSERT_EQ(WaveTables[15].Samples[k], triangle[k] + sawtooth[k] + pulse[k] + noise[k] + 3);
  }

  SidMix();
  EXPECT_EQ(std::count(MixBuffer, MixBuffer + SamplesPerTick, 0), 183);
  // No waveform at frequency 0 gives sample 0 of table 0 at full amplitude: -1 throughout.
  SidWrite(0x06, 0xF0);
  SidWrite(0x04, 0x01);
  SidMix();
  EXPECT_EQ(std::count(MixBuffer, MixBuffer + SamplesPerTick, -1), 183);
  // Frequency 16 moves a sawtooth by one table step every 173 samples or so.
  SidWrite(0x00, 16);
  SidWrite(0x04, 0x21);
  SidMix();
  EXPECT_EQ(MixBuffer[0], (-7937 * 254) >> 8);
  EXPECT_EQ(MixBuffer[182], (-7681 * 254) >> 8);
  EXPECT_EQ(Sid.Voices[0].Phase, 183u * 95);

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

int SoundAllocations = 0;
int FailingSoundAllocation = 0;
void* CountedSoundAllocation(std::size_t size) {
  return ++SoundAllocations == FailingSoundAllocation ? nullptr : std::malloc(size);
}

TEST(SidMixer, PausesMissingBuffersAndLowRatesLeaveTheEnvelopesSound) {
  PowerOnMachine();
  SidWrite(0x06, 0xF8);
  SidWrite(0x04, 0x11);
  SidWrite(0x04, 0x10);
  Host.Paused = 1;
  SoundTimerTick();
  EXPECT_EQ(Sid.Voices[0].Level.load(), 0) << "paused ticks do nothing";
  Host.Paused = 0;

  // Without a mix buffer the envelopes still run; a missing table leaves its voice silent.
  AllocateSoundBlock = CountedSoundAllocation;
  FailingSoundAllocation = 1 + 4;  // the buffer, then tables 0-2, then table 3
  EXPECT_EQ(SidInit(11025, 60), 1);
  EXPECT_NE(WaveTables[4].Samples, nullptr) << "the other tables are still built";
  SidWrite(0x04, 0x31);
  SidMix();
  EXPECT_EQ(MixBuffer[0], 0);
  SoundAllocations = 0;
  FailingSoundAllocation = 1;
  EXPECT_EQ(SidInit(11025, 60), 0);
  SidWrite(0x04, 0x30);
  SidWrite(0x04, 0x31);
  SidMix();
  EXPECT_EQ(Sid.Voices[0].Level.load(), EnvelopeTop);
  AllocateSoundBlock = std::malloc;

  // Below 4096 samples per second the top frequency would step past a whole table.
  ASSERT_EQ(SidInit(1000, 10), 0);
  SidWrite(0x00, 0xFF);
  SidWrite(0x01, 0xFF);
  SidWrite(0x04, 0x21);
  for (int tick = 0; tick < 20; ++tick) {
    SidMix();
    ASSERT_LT(Sid.Voices[0].Phase, 64u << 14);
  }
}

}  // namespace
}  // namespace quillon
