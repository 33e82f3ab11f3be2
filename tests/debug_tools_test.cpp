// The developer's tools on the real machine: the debug exit port ends a run with the guest's
// status right after the writing instruction, the trace log's lines (the first of a run, their
// agreement with the trace view, the same lines from the fast path as from the reference), and
// reads that observe the machine without changing it.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "session/session.h"
#include "cia/cia.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "app/command_line.h"
#include "app/headless_run.h"
#include "debug/disassembly_table.h"
#include "debug/trace_log.h"
#include "debug/trace_view.h"
#include "support/differential.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/picture.h"

namespace quillon {
namespace {

// A program file of machine code at $C000, started by a one-line BASIC stub: 10 SYS 49152.
std::string MachineCodeProgram(const std::string& name, const std::vector<std::uint8_t>& code) {
  std::vector<std::uint8_t> file = test::BasicProgramFile({"10 SYS 49152"});
  file.resize(2 + 0xC000 - 0x0801, 0);
  file.insert(file.end(), code.begin(), code.end());
  return test::WriteTempFile(name, file);
}

// LDA #value; STA $D7FF; then an endless INC $D020 loop.
std::vector<std::uint8_t> ExitWith(std::uint8_t value) {
  return {0xA9, value, 0x8D, 0xFF, 0xD7, 0xEE, 0x20, 0xD0, 0x4C, 0x05, 0xC0};
}

TEST(DebugExit, TheGuestsByteIsTheStatusAndRunningOutOfFramesIsThree) {
  for (const std::uint8_t status : {0, 7, 255}) {
    test::PowerOnMachine();
    CommandLineOptions options;
    options.DebugExit = true;
    options.Frames = 1000;
    options.File = MachineCodeProgram("exit.prg", ExitWith(status));
    const HeadlessRunResult result = RunHeadless(options);
    EXPECT_EQ(result.ExitCode, status);
    EXPECT_TRUE(result.Messages.empty());
    EXPECT_LT(result.FramesRun, 1000) << "the run ended early";
    EXPECT_EQ(Cpu.PC, 0xC005) << "right after the STA, before the loop";
    EXPECT_EQ(Cpu.Opcode, ServiceMarker) << "at the instruction's end";
  }
  // No write to $D7FF in time.
  test::PowerOnMachine();
  CommandLineOptions options;
  options.DebugExit = true;
  options.Frames = 20;
  HeadlessRunResult result = RunHeadless(options);
  EXPECT_EQ(result.ExitCode, ExitUnfinished);
  EXPECT_EQ(result.Messages,
            std::vector<std::string>{"the program wrote no exit status to $D7FF within 20 frames"});
  EXPECT_FALSE(result.Picture.empty()) << "the picture is still there to look at";
  // Without the option $D7FF is the SID's mirror: the run goes on to its last frame.
  test::PowerOnMachine();
  options.DebugExit = false;
  options.Frames = 200;
  options.File = MachineCodeProgram("exit.prg", ExitWith(7));
  result = RunHeadless(options);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(result.FramesRun, 200);
  // Text not typed whole when the frames run out.
  test::PowerOnMachine();
  options = CommandLineOptions{};
  options.Frames = 30;
  ASSERT_EQ(TranslateTypedText("PRINT 1\\n", options.TypedKeys), "");
  result = RunHeadless(options);
  EXPECT_EQ(result.ExitCode, ExitUnfinished);
  EXPECT_EQ(result.Messages,
            std::vector<std::string>{"the --type text was not typed whole within 30 frames"});
}

// The stop through the fast path lands where the per-step reference would be after the writing
// instruction's last call, for an instruction with idle calls after its write (STA abs, four
// calls) and one that ends with its write (a read-modify-write of $D7FF, six calls).
TEST(DebugExit, TheFastPathStopsAtTheEndOfTheWritingInstruction) {
  for (const std::uint8_t opcode : {0x8D, 0xEE}) {
    test::StartProgram(0xC000, {0xEA, opcode, 0xFF, 0xD7, 0xEA, 0x4C, 0x04, 0xC0});
    DebugExit = {true, -1};
    RunUntilFrame(CycleCounters.FrameCounter + 3);
    const test::MachineFingerprint fast = test::TakeFingerprint();
    EXPECT_EQ(Cpu.PC, 0xC004);
    EXPECT_GE(DebugExit.Status, 0);
    // Again per step, to the first boundary after the write.
    test::StartProgram(0xC000, {0xEA, opcode, 0xFF, 0xD7, 0xEA, 0x4C, 0x04, 0xC0});
    DebugExit = {true, -1};
    while (DebugExit.Status < 0 || Cpu.Opcode != ServiceMarker) RunStep();
    EXPECT_TRUE(test::TakeFingerprint() == fast) << std::hex << int{opcode};
    // The request stands: a further run returns at once.
    RunUntilFrame(CycleCounters.FrameCounter + 1);
    EXPECT_TRUE(test::TakeFingerprint() == fast);
  }
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> LogOf(bool fastPath, int frames) {
  const std::string path = test::WriteTempFile(fastPath ? "fast.log" : "reference.log", {});
  test::PowerOnMachine();
  EXPECT_EQ(TraceLogOpen(path), "");
  if (fastPath) {
    RunUntilFrame(frames);
  } else {
    test::RunFrames(frames);
  }
  EXPECT_EQ(TraceLogClose(), "");
  return ReadLines(path);
}

TEST(TraceLog, ARunStartsAtTheResetAndTheFastPathLogsWhatTheReferenceLogs) {
  const std::vector<std::string> fast = LogOf(true, 40);
  ASSERT_GT(fast.size(), 100000u);
  EXPECT_EQ(fast[0], "         0  FCE2  A2 FF     LDX #$FF     A:00 X:00 Y:00 P:30 SP:FF");
  EXPECT_EQ(fast[1], "         2  FCE4  78        SEI          A:00 X:FF Y:00 P:B0 SP:FF");
  EXPECT_EQ(fast[4], "         8  FCE7  20 02 FD  JSR $FD02    A:00 X:FF Y:00 P:B4 SP:FF");
  EXPECT_EQ(fast[5], "        14  FD02  A2 05     LDX #$05     A:00 X:FF Y:00 P:B4 SP:FD");
  // Interrupts, raster lines and timers included, every instruction once, in the same step.
  const std::vector<std::string> reference = LogOf(false, 40);
  ASSERT_EQ(fast.size(), reference.size());
  for (std::size_t i = 0; i < fast.size(); ++i) ASSERT_EQ(fast[i], reference[i]) << "line " << i;
  // Logging changes nothing in what the machine does.
  RunUntilFrame(45);
  const test::MachineFingerprint logged = test::TakeFingerprint();
  test::PowerOnMachine();
  RunUntilFrame(45);
  EXPECT_TRUE(test::TakeFingerprint() == logged);
  EXPECT_TRUE(TraceLogOpen("/nonexistent/quillon/trace.log")
                  .starts_with("cannot write the trace log to '/nonexistent/quillon/trace.log'"));
  EXPECT_EQ(FetchObserver, nullptr);
}

TEST(TraceLog, EachLineSaysWhatTheTraceViewShowsForTheSameState) {
  test::StartProgram(0xC000, {0x4C, 0x00, 0xC0});
  struct Case {
    std::vector<std::uint8_t> Bytes;
    const char* Line;
  };
  const Case cases[] = {
      {{0x4C, 0x00, 0xC0}, "4C 00 C0  JMP $C000  "},
      {{0xD0, 0xFB}, "D0 FB     BNE $*FB   "},
      {{0xEA}, "EA        NOP        "},
      {{0xB1, 0x62}, "B1 62     LDA ($62),Y"},
      {{0x0C, 0x34, 0x12}, "0C 34 12  NOP $1234  "},
      {{0xB3, 0x10}, "B3 10     LAX ($10),Y"},
      {{0x02}, "02        JAM        "},
  };
  Cpu.A = 0x01;
  Cpu.X = 0x9A;
  Cpu.Y = 0xFF;
  Cpu.P = 0xF1;
  Cpu.SP = 0xF6;
  for (const Case& c : cases) {
    std::copy(c.Bytes.begin(), c.Bytes.end(), MainRam + 0xC000);
    const std::string line = TraceLogLine();
    EXPECT_EQ(line.substr(10, 31), std::string("  C000  ") + c.Line + "  ") << c.Line;
    EXPECT_EQ(line.substr(41), "A:01 X:9A Y:FF P:F1 SP:F6");
    DrawTraceView(CurrentMachine().Registers());
    // The view's disassembly from column 20, up to its flags at column 32.
    std::string view = test::PictureRowText(0).substr(20, 12);
    view.erase(view.find_last_not_of(' ') + 1);
    std::string logged = line.substr(28, 13);
    logged.erase(logged.find_last_not_of(' ') + 1);
    EXPECT_EQ(view, logged);
    EXPECT_EQ(test::PictureRowText(0).substr(0, 6), "$C000:");
  }
}

const char* NameOf(std::uint16_t address) {
  if (address == 0xFFD2) return "CHROUT";
  if (address == 0x00FB) return "pointer";
  if (address == 0xC000) return "a_label_far_longer_than_anyone_would_want_it";
  return nullptr;
}

// The monitor's way: a branch's target as an address, named operands, immediates as values.
TEST(Disassembler, TheMonitorsStyleShowsTargetsAndLabelsAndEveryOpcodeHasAName) {
  const DisassemblyStyle style = {true, NameOf};
  struct Case {
    std::uint16_t PC;
    std::uint8_t Bytes[3];
    const char* Text;
  };
  const Case cases[] = {
      {0xE5D3, {0xF0, 0xF8, 0}, "BEQ $E5CD"},
      {0xC000, {0xD0, 0x7F, 0}, "BNE $C081"},
      {0xC000, {0x20, 0xD2, 0xFF}, "JSR CHROUT"},
      {0xC000, {0xB1, 0xFB, 0}, "LDA (pointer),Y"},
      {0xC000, {0xA9, 0xFB, 0}, "LDA #$FB"},
      {0xC000, {0xA5, 0xFC, 0}, "LDA $FC"},
      {0xBFFE, {0x10, 0x00, 0}, "BPL a_label_far_longer_than_anyone_w"},
      {0xC000, {0xEB, 0x01, 0}, "SBC #$01"},
  };
  for (const Case& c : cases) {
    EXPECT_STREQ(DisassembleBytes(c.PC, c.Bytes, style).Text, c.Text);
  }
  int undocumented = 0;
  for (int opcode = 0; opcode < 256; ++opcode) {
    EXPECT_EQ(std::string(DisassemblyTable[opcode]).find('?'), std::string::npos) << opcode;
    undocumented += IsUndocumented(static_cast<std::uint8_t>(opcode)) ? 1 : 0;
  }
  EXPECT_EQ(undocumented, 256 - 151);
  EXPECT_FALSE(IsUndocumented(0xEA));
  EXPECT_TRUE(IsUndocumented(0xEB));
}

// The log reads the instruction bytes as the CPU would, but without the effects of a read.
TEST(TraceLog, ItsReadsAcknowledgeNothing) {
  test::PowerOnMachine();
  Cia1.Registers[CiaInterruptControl] = 0x81;
  Cpu.IrqPending = 1;
  EXPECT_EQ(MemPeek(0xDC0D), 0x81);
  EXPECT_EQ(MemPeek(0xDC1D), 0x81) << "its mirror";
  EXPECT_EQ(Cpu.IrqPending, 1);
  EXPECT_EQ(Cia1.Registers[CiaInterruptControl], 0x81);
  const std::uint8_t toggle = IdToggle;
  EXPECT_EQ(MemPeek(0xDFFF), toggle);
  EXPECT_EQ(IdToggle, toggle);
  EXPECT_EQ(MemPeek(0xDD00), MemRead(0xDD00)) << "CIA2's port A with the serial inputs high";
  EXPECT_EQ(MemPeek(0xE000), MemRead(0xE000));
  EXPECT_EQ(MemRead(0xDC0D), 0x81);
  EXPECT_EQ(Cpu.IrqPending, 0) << "a read by the CPU does acknowledge";
}

}  // namespace
}  // namespace quillon
