#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "support/files.h"
#include "support/machine.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

using test::PowerOnMachine;
using test::RunSteps;

TEST(Machine, PowerOnFillsRamWithTheBlockPatternAndStartsAtTheKernalsResetEntry) {
  EXPECT_EQ(Cpu.PC, 0xFCE2) << "taken from the built-in KERNAL before any start-up code";
  PowerOnMachine();
  EXPECT_EQ(MainRam[0x0000], 0x2F);
  EXPECT_EQ(MainRam[0x0001], 0x37);
  for (unsigned a = 0x0002; a < 0x10000; ++a) {
    ASSERT_EQ(MainRam[a], (a & 0x80) ? 0x66 : 0x99) << "address " << a;
  }
  for (unsigned i = 0; i < ColorRamSize; ++i) ASSERT_EQ(ColorRam[i], 0);
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
}

int Allocations = 0;
void* FailSecondAllocation(std::size_t size) {
  return ++Allocations == 2 ? nullptr : std::malloc(size);
}

TEST(Machine, FailedAllocationStopsInitialisationAfterAllThreeRequests) {
  const test::UnallocatedMachine unallocated(FailSecondAllocation);
  KeyMatrix[5] = 0;
  EXPECT_EQ(EmulatorInit(), 0);
  EXPECT_EQ(Allocations, 3);
  EXPECT_TRUE(MainRam && !ColorRam && FrameImage.Picture);
  EXPECT_EQ(KeyMatrix[5], 0) << "nothing past the allocations may be set up";
}

TEST(Machine, LinesOfSixtyFourStepsAndFramesOf312Or262Lines) {
  PowerOnMachine();
  RunSteps(63);
  EXPECT_EQ(Vic.RasterLine, 0);
  RunSteps(1);
  EXPECT_EQ(Vic.RasterLine, 1);
  RunSteps(19968 - 64 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 0);
  // The current line's steps are published when it ends.
  EXPECT_EQ(CycleCounters.StepCounter.load(), 311 * 64 - 1);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  EXPECT_EQ(Vic.RasterLine, 0);
  VideoStandard = VideoStandardNtsc;
  RunSteps(16768 - 1);
  EXPECT_EQ(CycleCounters.FrameCounter, 1);
  RunSteps(1);
  EXPECT_EQ(CycleCounters.FrameCounter, 2);

  // Switched to NTSC past its last line, the frame ends at the next line.
  VideoStandard = VideoStandardPal;
  RunSteps(64 * 300);
  VideoStandard = VideoStandardNtsc;
  RunSteps(64);
  EXPECT_EQ(Vic.RasterLine, 0);
  EXPECT_EQ(CycleCounters.FrameCounter, 3);

  // A hard reset mid-line starts again at line 0 without counting a frame.
  RunSteps(64 * 100 + 10);
  HardReset();
  EXPECT_EQ(CycleCounters.FrameCounter, 3);
  RunSteps(64);
  EXPECT_EQ(Vic.RasterLine, 1);
}

TEST(Machine, LineFramesCountEveryLineAsAFrame) {
  PowerOnMachine();
  RasterLineEnd.LineFrames = true;
  RunSteps(64 * 10);
  EXPECT_EQ(CycleCounters.FrameCounter, 10);
  RunSteps(64 * 302);
  EXPECT_EQ(CycleCounters.FrameCounter, 312 + 1) << "the last line of a frame counts twice";
}

TEST(MemoryMap, EveryPortValueBanksTheRomsAndIoAsTheHardwareDoes) {
  // Per port value: who answers at $A000, $D000 and $E000 (R = RAM, B/C/K = ROM, I = I/O).
  const char* const rows[8] = {"RRR", "RCR", "RCK", "BCK", "RRR", "RIR", "RIK", "BIK"};
  test::PowerOnMachine();
  for (int port = 0; port < 8; ++port) {
    SCOPED_TRACE("port value " + std::to_string(port));
    MainRam[0xA000] = 0x11;
    MainRam[0xD000] = 0x22;
    MainRam[0xDFFC] = 0x22;
    MainRam[0xE000] = 0x33;
    MainRam[0xD800] = 0;
    MainRam[1] = static_cast<std::uint8_t>(0x30 | port);
    FollowPortChanges();
    const std::string answers = {MemRead(0xA000) == 0x11 ? 'R' : 'B',
                                 MemRead(0xDFFC) == 0x98                     ? 'I'
                                 : MemRead(0xD000) == RomImages.Chargen[0] ? 'C'
                                                                             : 'R',
                                 MemRead(0xE000) == 0x33 ? 'R' : 'K'};
    EXPECT_EQ(answers, rows[port]);
    // Writes always reach the RAM under the ROMs, and under $Dxxx unless I/O is in.
    MemWrite(0xA000, 0x44);
    MemWrite(0xE000, 0x55);
    MemWrite(0xD800, 0x37);
    EXPECT_EQ(MainRam[0xA000] + MainRam[0xE000], 0x44 + 0x55);
    EXPECT_EQ(MainRam[0xD800] == 0x37, rows[port][1] != 'I');
  }
}

TEST(MemoryMap, PortValueFollowsDirectionLatchAndPullUps) {
  test::PowerOnMachine();
  MainRam[1] = 0xC7;
  MemWrite(0x0001, 0x00);
  // Outputs 0-3 and 5 take the latch's zeros, input 4 reads 1, inputs 6 and 7 keep their bits.
  EXPECT_EQ(MemRead(0x0001), 0xD0);
  MemWrite(0x0001, 0x36);
  EXPECT_EQ(MemRead(0x0001), 0xF6);
  // All bits inputs: 0, 1, 2 and 4 pulled up, 5 reads 0, 3, 6 and 7 unchanged.
  MainRam[1] = 0x28;
  MemWrite(0x0001, 0xFF);
  MemWrite(0x0000, 0x00);
  EXPECT_EQ(MainRam[1], 0x1F);
  // Turning bit 0 into an output applies the latch written before.
  MemWrite(0x0001, 0x00);
  MemWrite(0x0000, 0x01);
  EXPECT_EQ(MainRam[1], 0x1E);
}

TEST(MemoryMap, ColourRamNibblesUnansweredAreasAndTheIdentificationBlock) {
  test::PowerOnMachine();
  MemWrite(0xD800, 0xAB);
  EXPECT_EQ(MemRead(0xD800), 0x0B);
  ColorRam[0x3E7] = 0xF5;
  EXPECT_EQ(MemRead(0xDBE7), 0x05);
  for (std::uint16_t a : {0xDBE8, 0xDBFF, 0xDE00, 0xDF9F}) {
    MemWrite(a, 0x00);
    EXPECT_EQ(MemRead(a), 0xFF) << a;
    EXPECT_NE(MainRam[a], 0x00) << a;
  }
  EXPECT_EQ(ColorRam[0x3E8], 0x00);

  std::string text;
  std::uint16_t a = 0xDFA0;
  for (; MemRead(a) != 0; ++a) text += static_cast<char>(MemRead(a));
  EXPECT_TRUE(text.starts_with("QUILLON, V0.98\r")) << text;
  EXPECT_TRUE(text.ends_with("WIN 32 PORT THIRD BETA ")) << text;
  EXPECT_GT(text.size(), 15u + 23u) << "a notice stands between them";
  for (++a; a < 0xDFFC; ++a) ASSERT_EQ(MemRead(a), 0) << a;
  EXPECT_EQ(MemRead(0xDFFC) << 16 | MemRead(0xDFFD) << 8 | MemRead(0xDFFE), 0x980057);
  for (std::uint8_t expected : {0xAA, 0x55, 0xAA}) EXPECT_EQ(MemRead(0xDFFF), expected);
  MemWrite(0xDFA0, 0x00);
  EXPECT_EQ(MemRead(0xDFA0), 'Q');
}

// The program looks for ROM files by bare name in its current directory: these tests work in
// the directory of their files and go back when they end.
struct WorkingDirectoryGuard {
  std::filesystem::path Previous = std::filesystem::current_path();
  ~WorkingDirectoryGuard() { std::filesystem::current_path(Previous); }
};

TEST(RomFiles, ShortFilesReplaceAPrefixLongFilesAreCutOthersAreIgnored) {
  const WorkingDirectoryGuard guard;
  const std::string chargen = test::WriteTempFile("CHAR.ROM", std::vector<std::uint8_t>(2048, 0xC1));
  test::WriteTempFile("BASIC.ROM", std::vector<std::uint8_t>(16384, 0xB1));
  std::filesystem::current_path(std::filesystem::path(chargen).parent_path());
  std::filesystem::create_directory("KERNAL.ROM");  // opens, but cannot be read as a file
  const RomImageSet builtIn = RomImages;
  LoadRomFiles();
  EXPECT_EQ(RomImages.Chargen[2047], 0xC1);
  EXPECT_EQ(RomImages.Chargen[2048], builtIn.Chargen[2048]);
  EXPECT_EQ(RomImages.Basic[8191], 0xB1);
  EXPECT_TRUE(std::equal(builtIn.Kernal, builtIn.Kernal + KernalRomSize, RomImages.Kernal));
  for (const char* name : {"BASIC.ROM", "KERNAL.ROM", "CHAR.ROM"}) std::filesystem::remove(name);
}

TEST(RomFiles, KernalFileTakesEffectAtTheFirstResetRequest) {
  std::vector<std::uint8_t> kernal(8192, 0xEA);
  kernal[0x1FFD] = 0xE0;  // reset vector $E000
  kernal[0x1FFC] = 0x00;
  const WorkingDirectoryGuard guard;
  const std::string path = test::WriteTempFile("KERNAL.ROM", kernal);
  std::filesystem::current_path(std::filesystem::path(path).parent_path());
  test::PowerOnMachine();
  EXPECT_EQ(Cpu.PC, 0xFCE2) << "the start address comes from the built-in image";
  EXPECT_EQ(KernalResetVector(), 0xE000);
}

}  // namespace
}  // namespace quillon
