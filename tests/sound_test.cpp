#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#include "core/machine.h"
#include "core/memory.h"
#include "app/command_line.h"
#include "backends/headless/headless_backend.h"
#include "app/headless_run.h"
#include "session/host_state.h"
#include "session/session.h"
#include "window/main_loop.h"
#include "window/window_proc.h"
#include "platform/messages.h"
#include "sound/sound_output.h"
#include "platform/sound_platform.h"
#include "platform/sound_writer.h"
#include "files/wav_writer.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "support/accurate.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/sound.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;

// A sound output that keeps every block it is handed.
std::vector<std::vector<std::int16_t>> Blocks;
bool CaptureOpen(std::uint32_t) { return true; }
void CaptureWrite(const std::int16_t* samples, std::int32_t count) {
  Blocks.emplace_back(samples, samples + count);
}
void CaptureClose() {}

// A powered-on machine whose sound goes to Blocks, with voice 1 sounding $1D45 on the triangle.
void StartCapturedTone() {
  SoundPlatform = {CaptureOpen, CaptureWrite, CaptureClose};
  test::PowerOnMachine();
  Blocks.clear();
  for (auto [index, value] : {std::pair{0x00, 0x45}, {0x01, 0x1D}, {0x06, 0xF0}, {0x04, 0x11}}) {
    SidWrite(index, value);
  }
}

std::vector<std::int16_t> Joined(std::size_t from = 0) {
  std::vector<std::int16_t> samples;
  for (std::size_t i = from; i < Blocks.size(); ++i) {
    samples.insert(samples.end(), Blocks[i].begin(), Blocks[i].end());
  }
  return samples;
}

bool Silent(const std::vector<std::int16_t>& block) {
  return std::all_of(block.begin(), block.end(), [](std::int16_t s) { return s == 0; });
}

TEST(SoundMixer, TheToneSoundsAtTheClocksPitchAndEachSecondHoldsTheSampleRate) {
  StartCapturedTone();
  for (int tick = 0; tick < 20; ++tick) SoundTimerTick();
  std::vector<std::int16_t> pal = Joined();
  EXPECT_EQ(pal.size(), 11025u) << "twenty ticks, one second";
  EXPECT_EQ(Blocks[0].size() + Blocks[3].size(), 551u + 552u) << "every fourth tick carries one";
  EXPECT_NEAR(test::Pitch(pal, 11025, 0, pal.size()), 440.0, 0.5);
  // The NTSC machine's faster clock plays the same value higher.
  VideoStandard = VideoStandardNtsc;
  for (int tick = 0; tick < 20; ++tick) SoundTimerTick();
  const std::vector<std::int16_t> ntsc = Joined(20);
  EXPECT_NEAR(test::Pitch(ntsc, 11025, 0, ntsc.size()), 440.0 * 1022727 / 985248, 0.5);
  // One wave throughout: the phase runs on from tick to tick without a jump. A sample moves
  // less than three of the triangle's steps of 512 at this pitch.
  pal.insert(pal.end(), ntsc.begin(), ntsc.end());
  for (std::size_t i = 1; i < pal.size(); ++i) {
    ASSERT_LE(std::abs(pal[i] - pal[i - 1]), 3 * 512) << "at sample " << i;
  }
}

TEST(SoundOutput, PauseTraceAndMuteHandOverSilenceNeverAnOlderBlock) {
  StartCapturedTone();
  SoundTimerTick();
  ASSERT_GT(test::Loudness(Blocks[0], 0, Blocks[0].size()), 4000);
  Host.Paused = 1;
  SoundTimerTick();
  EXPECT_TRUE(Silent(Blocks.back()));
  EXPECT_EQ(Blocks.back().size(), 551u);
  Host.Paused = 0;
  Host.TraceMode = 1;
  SoundTimerTick();
  EXPECT_TRUE(Silent(Blocks.back()));
  Host.TraceMode = 0;
  Host.SoundOn = 0;
  SoundTimerTick();
  EXPECT_TRUE(Silent(Blocks.back()));
  Host.SoundOn = 1;
  SoundTimerTick();
  EXPECT_FALSE(Silent(Blocks.back()));
  EXPECT_EQ(Blocks.size(), 5u) << "every tick hands over a block";
  // The release runs while muted, not while paused: rate 0 ends it at the first tick that mixes.
  SidWrite(0x04, 0x10);
  Host.Paused = 1;
  SoundTimerTick();
  EXPECT_EQ(ActiveVoices.load(), 1u);
  Host.Paused = 0;
  Host.SoundOn = 0;
  SoundTimerTick();
  EXPECT_EQ(ActiveVoices.load(), 0u);
  // Without an output nothing is handed over.
  SoundShutdown();
  SoundTimerTick();
  EXPECT_EQ(Blocks.size(), 7u);
}

TEST(SoundOutput, HeadlessRunsTickOnEmulatedTimeEveryTwoAndAHalfFrames) {
  StartCapturedTone();
  SoundClock.Enabled = true;
  test::RunFrames(5);
  EXPECT_EQ(Blocks.size(), 2u) << "1560 PAL lines";
  VideoStandard = VideoStandardNtsc;
  test::RunFrames(5);
  EXPECT_EQ(Blocks.size(), 4u) << "1310 NTSC lines";
  EXPECT_EQ(Joined().size(), 11025u / 5);
  EXPECT_GT(Host.SpeedPercent.load(), 0) << "each tick takes the speed reading";
}

// Two runs writing the same bytes is the command line's test (two processes).
TEST(SoundCapture, TheToneProgramPlays440HzAndFallsSilentAfterTheGateIsReleased) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.Headless = true;
  options.File = test::WriteTempFile("tone.prg", test::ToneProgramFile());
  options.WavPath = test::WriteTempFile("tone.wav", {});
  ASSERT_EQ(RunHeadless(options).ExitCode, 0);
  const std::vector<std::string>& operations = Headless.Operations;
  EXPECT_EQ(std::count(operations.begin(), operations.end(), "StartPeriodicTimer"), 0)
      << "no timer thread";
  const test::WavContents wav = test::ReadWav(options.WavPath);
  ASSERT_EQ(wav.Error, "");
  EXPECT_EQ(wav.SampleRate, 11025u);
  EXPECT_EQ(wav.Samples.size(), 300u * 11025 / 50) << "300 frames, six seconds";
  const std::vector<std::int16_t>& samples = wav.Samples;
  const std::size_t onset = static_cast<std::size_t>(
      std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) -
      samples.begin());
  ASSERT_LT(onset, samples.size() / 2) << "the program sounded nothing";
  EXPECT_NEAR(test::Pitch(samples, 11025, onset + 500, onset + 5000), 440.0, 4.4);
  // Tick by tick: held, then falling with the release, then silent to the end.
  std::vector<double> levels;
  for (std::size_t at = onset; at + 551 <= samples.size(); at += 551) {
    levels.push_back(test::Loudness(samples, at, at + 551));
  }
  std::size_t tick = 1;
  while (tick < levels.size() && levels[tick] > levels[1] * 0.99) ++tick;
  EXPECT_GE(tick, 8u) << "the gate is held for about 0.6 s";
  const std::size_t releaseStart = tick;
  while (tick < levels.size() && levels[tick] > 0 && levels[tick] < levels[tick - 1]) ++tick;
  EXPECT_GE(tick - releaseStart, 2u) << "release 4 falls over its 114 ms, two ticks and more";
  EXPECT_GE(levels.size() - tick, 20u) << "a second of silence at the end";
  EXPECT_TRUE(std::all_of(samples.begin() + static_cast<std::ptrdiff_t>(onset + tick * 551),
                          samples.end(), [](std::int16_t s) { return s == 0; }));
}

// Settings > Classic machine and Accurate machine power a new machine on, and the output is
// opened again at its rate.
std::vector<std::uint32_t> OpenedRates;
bool RecordOpen(std::uint32_t rate) {
  OpenedRates.push_back(rate);
  return true;
}

TEST(SoundOutput, SwitchingModelsReopensTheOutputAtTheNewMachinesRate) {
  test::PowerOnMachine();
  UseHeadlessBackend(false);
  SoundPlatform = {RecordOpen, CaptureWrite, CaptureClose};
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, 1, &exitCode));
  for (std::uint32_t command : {CommandModelAccurate, CommandModelClassic}) {
    MainWindowProc(nullptr, MessageCommand, command, 0);
  }
  HostShutDown();
  EXPECT_EQ(OpenedRates, (std::vector<std::uint32_t>{11025, 44100, 11025}));
}

test::WavContents Recording(const std::vector<std::uint8_t>& program, int frames, bool ntsc) {
  test::PowerOnMachine();
  CommandLineOptions options;
  options.Headless = true;
  options.Frames = frames;
  options.Ntsc = ntsc;
  if (!program.empty()) options.File = test::WriteTempFile("sound.prg", program);
  options.WavPath = test::WriteTempFile("sound.wav", {});
  EXPECT_EQ(RunHeadless(options).ExitCode, 0);
  return test::ReadWav(options.WavPath);
}

TEST(SoundCapture, TheRecordingLastsAsLongAsTheRunToTheSample) {
  // Fifty frames a second of emulated time on both standards; a run that ends between two
  // ticks keeps the part of a tick it ran.
  for (const auto& [frames, ntsc, samples] :
       {std::tuple{1, false, 220}, {51, false, 11245}, {1, true, 220}, {53, true, 11686}}) {
    const test::WavContents wav = Recording({}, frames, ntsc);
    ASSERT_EQ(wav.Error, "");
    EXPECT_EQ(wav.Samples.size(), static_cast<std::size_t>(samples)) << frames << " " << ntsc;
  }
}

TEST(SoundCapture, AttackTenRisesInHalfASecond) {
  const test::WavContents wav = Recording(
      test::BasicProgramFile({"10 POKE 54296,15:POKE 54272,69:POKE 54273,29:POKE 54277,160",
                              "20 POKE 54278,240:POKE 54276,17", "30 GOTO 30"}),
      300, false);
  ASSERT_EQ(wav.Error, "");
  const std::vector<std::int16_t>& samples = wav.Samples;
  const auto onset = static_cast<std::size_t>(
      std::find_if(samples.begin(), samples.end(), [](std::int16_t s) { return s != 0; }) -
      samples.begin());
  ASSERT_LT(onset + 11025, samples.size()) << "the program sounded nothing";
  // The rise lasts from the first tick that sounds to the first that is as loud as the
  // sustained tone, both included.
  const double full = test::Loudness(samples, samples.size() - 551, samples.size());
  std::size_t at = onset;
  while (at + 551 < samples.size() && test::Loudness(samples, at, at + 551) < full * 0.98) {
    at += 551;
  }
  EXPECT_NEAR(static_cast<double>(at + 551 - onset) / 11025, 0.5, 0.05);
}

TEST(WavWriter, TheHeaderCountsEveryBlockWhileTheFileIsStillOpen) {
  const std::string path = test::WriteTempFile("blocks.wav", {});
  WavWriter wav;
  ASSERT_TRUE(WavOpen(wav, path, 22050));
  EXPECT_EQ(test::ReadWav(path).Error, "") << "an empty recording";
  const std::int16_t block[3] = {-32768, 1, 32767};
  for (int i = 0; i < 2; ++i) WavAppend(wav, block, 3);
  // Read as a run that ended here would leave it.
  const test::WavContents open = test::ReadWav(path);
  ASSERT_EQ(open.Error, "");
  EXPECT_EQ(open.SampleRate, 22050u);
  EXPECT_EQ(open.Samples, (std::vector<std::int16_t>{-32768, 1, 32767, -32768, 1, 32767}));
  EXPECT_TRUE(WavClose(wav));
  EXPECT_FALSE(WavClose(wav)) << "closed once";
  EXPECT_FALSE(WavOpen(wav, path + ".missing/x.wav", 22050));
}

// A device whose writes wait while Held is set, and which keeps the first sample of each block.
std::atomic<bool> Held{false};
std::atomic<int> WritesBegun{0};
std::vector<std::int16_t> Played;
const char* OpenFine(std::uint32_t) { return nullptr; }
const char* OpenRefused(std::uint32_t) { return "Connection refused"; }
const char* WriteHeld(const std::int16_t* samples, std::int32_t) {
  ++WritesBegun;
  while (Held.load()) std::this_thread::sleep_for(1ms);
  Played.push_back(samples[0]);
  return nullptr;
}
const char* WriteBroken(const std::int16_t*, std::int32_t) { return "Broken pipe"; }
void CloseDevice() {}

template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 1000 && !done(); ++i) std::this_thread::sleep_for(1ms);
  return done();
}

SoundWriter Writer;

TEST(SoundWriter, PuttingNeverWaitsAFullQueueDropsAndAFailingDeviceSaysSoOnce) {
  Held = true;
  ASSERT_TRUE(SoundWriterStart(Writer, {OpenFine, WriteHeld, CloseDevice}, 11025));
  std::int16_t block[551] = {};
  const auto start = std::chrono::steady_clock::now();
  int accepted = 0;
  for (std::int16_t i = 0; i < 10; ++i) {
    block[0] = i;
    accepted += SoundWriterPut(Writer, block, 551);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 20ms) << "a put waited for the device";
  EXPECT_EQ(accepted, SoundQueueBlocks) << "one block in the device's hands, the rest waiting";
  EXPECT_FALSE(SoundWriterPut(Writer, block, SoundBlockCapacity + 1));
  Held = false;
  ASSERT_TRUE(WaitFor([] { return Writer.Taken.load() == SoundQueueBlocks; }));
  block[0] = 99;
  EXPECT_TRUE(SoundWriterPut(Writer, block, 551));
  ASSERT_TRUE(WaitFor([] { return Writer.Taken.load() == SoundQueueBlocks + 1; }));
  SoundWriterStop(Writer, 1000);
  EXPECT_EQ(Played, (std::vector<std::int16_t>{0, 1, 2, 99}));

  // A device stuck in a write holds up the stop for the given time only, and is not reused.
  Held = true;
  ASSERT_TRUE(SoundWriterStart(Writer, {OpenFine, WriteHeld, CloseDevice}, 11025));
  ASSERT_TRUE(SoundWriterPut(Writer, block, 551));
  ASSERT_TRUE(WaitFor([] { return WritesBegun.load() == SoundQueueBlocks + 2; }));
  const auto stopping = std::chrono::steady_clock::now();
  SoundWriterStop(Writer, 50);
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 500ms);
  EXPECT_FALSE(SoundWriterStart(Writer, {OpenFine, WriteHeld, CloseDevice}, 11025));
  Held = false;
  ASSERT_TRUE(WaitFor([] { return Writer.Finished.load(); }));

  // No server, then one that breaks off: silence, and one line on stderr for the whole run.
  testing::internal::CaptureStderr();
  for (const SoundDevice& device : {SoundDevice{OpenRefused, WriteHeld, CloseDevice},
                                    SoundDevice{OpenFine, WriteBroken, CloseDevice}}) {
    ASSERT_TRUE(SoundWriterStart(Writer, device, 11025));
    SoundWriterPut(Writer, block, 551);
    ASSERT_TRUE(WaitFor([] { return Writer.Finished.load(); }));
    EXPECT_FALSE(SoundWriterPut(Writer, block, 551)) << "the device is gone";
    SoundWriterStop(Writer, 1000);
  }
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "quillon: no sound: Connection refused\n");
}

// The window's threads with a sink of their own beside them, in either model: the emulation and
// the menu's commands on the main thread, the sound timer taking the samples, the sink's thread
// writing them to a slow device and counting the blocks with sound in them. Run under
// ThreadSanitizer (label tsan).
std::atomic<int> LoudBlocks{0};
const char* WriteSlowly(const std::int16_t* samples, std::int32_t count) {
  if (std::any_of(samples, samples + count, [](std::int16_t s) { return s != 0; })) ++LoudBlocks;
  std::this_thread::sleep_for(5ms);
  return nullptr;
}
bool OpenThroughWriter(std::uint32_t rate) {
  return SoundWriterStart(Writer, {OpenFine, WriteSlowly, CloseDevice}, rate);
}
void PutToWriter(const std::int16_t* samples, std::int32_t count) {
  SoundWriterPut(Writer, samples, count);
}
void StopWriter() { SoundWriterStop(Writer, 1000); }

// Each command comes twice, so the machine ends with the settings it began with.
struct ThreadsCase {
  MachineModel Model;
  std::vector<std::uint32_t> Commands;
  std::optional<SidChip> Chip;
};
class SoundThreads : public testing::TestWithParam<ThreadsCase> {};

TEST_P(SoundThreads, TheSinkRunsBesideTheEmulationTheTimerAndTheMenu) {
  test::PowerOnMachine();
  UseHeadlessBackend(true);
  UseModel(GetParam().Model);
  LoudBlocks = 0;
  SoundPlatform = {OpenThroughWriter, PutToWriter, StopWriter};
  std::int32_t exitCode = -1;
  ASSERT_TRUE(HostStartUp(nullptr, 1, &exitCode));
  // The tone, from a program that takes over from the KERNAL once the reset is done.
  test::Assembler code(0xC000);
  code.Poke({0xD418}, 0x0F).Poke({0xD401}, 0x1D).Poke({0xD406}, 0xF0).Poke({0xD404}, 0x11).Stop();
  code.LoadInto(CurrentMachine());
  CurrentMachine().RunFrames(1);
  CpuRegisterFile registers = CurrentMachine().Registers();
  registers.PC = 0xC000;
  registers.P |= 0x04;
  CurrentMachine().SetRegisters(registers);
  std::thread menu([] {
    for (const std::uint32_t command : GetParam().Commands) {
      std::this_thread::sleep_for(80ms);
      HeadlessPostMessage(MessageCommand, command, 0);
    }
    std::this_thread::sleep_for(80ms);
    HeadlessPostMessage(MessageClose, 0, 0);
  });
  while (MainLoopPass(&exitCode) >= 0) {
  }
  menu.join();
  HostShutDown();
  EXPECT_EQ(exitCode, 0);
  EXPECT_GE(Writer.Taken.load(), 5u) << "the sink played while the machine ran";
  EXPECT_GE(LoudBlocks.load(), 3);
  EXPECT_EQ(Host.SoundOn.load(), 1);
  EXPECT_TRUE(CurrentMachine().Pal());
  EXPECT_EQ(CurrentMachine().SidChipInUse(), GetParam().Chip);
}

INSTANTIATE_TEST_SUITE_P(
    Models, SoundThreads,
    testing::Values(ThreadsCase{MachineModel::Classic,
                                {CommandSound, CommandPal, CommandPause, CommandPause,
                                 CommandTrace, CommandTrace, CommandSound, CommandPal},
                                std::nullopt},
                    ThreadsCase{MachineModel::Accurate,
                                {CommandSid8580, CommandPal, CommandPause, CommandPause,
                                 CommandWarp, CommandWarp, CommandPal, CommandSid6581},
                                SidChip::Mos6581}),
    [](const testing::TestParamInfo<ThreadsCase>& threads) {
      return test::ModelName(threads.param.Model);
    });

}  // namespace
}  // namespace quillon
