// The text monitor through its text: lines in, the output they give out, as a person at the
// terminal sees it (without the prompts). Each transcript starts from a machine at power-on,
// held in the monitor; where a command lets the machine run, the transcript runs it as the
// main loop would until the monitor holds it again.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "debug/disassembly_table.h"
#include "monitor/assembler.h"
#include "monitor/expression.h"
#include "monitor/labels.h"
#include "monitor/monitor.h"
#include "monitor/text_monitor.h"
#include "session/session.h"
#include "support/files.h"
#include "support/machine.h"

namespace quillon {
namespace {

// Runs the lines as typed one after the other, each once the machine stands held again, and
// returns all that was said after the first stop report.
std::string Transcript(const std::vector<std::string>& lines) {
  test::PowerOnMachine();
  ClearLabels();
  AttachTextMonitor([] {}, nullptr);
  TakeTextMonitorOutput();
  for (const std::string& line : lines) {
    TextMonitorLine(line);
    for (int frame = 0; frame < 3000 && !MonitorHolds(); ++frame) {
      CurrentMachine().RunFrames(1);
      MonitorPoll();
    }
  }
  MonitorShutDown();
  return TakeTextMonitorOutput();
}

// The tests' program, assembled by the monitor itself:
//   C000 LDX #$00 / C002 JSR $C010 / C005 INX / C006 STX $D020 / C009 JMP $C002
//   C010 LDY #$03 / C012 DEY / C013 BNE $C012 / C015 RTS
const std::vector<std::string> Assembled = {
    "a c000 ldx #$00", "jsr $c010", "inx", "stx $d020", "jmp $c002", "",
    "a c010 ldy #3",   "dey",       "bne $c012", "rts", "",
    "r pc=c000 fl=24"};

const char* const AssembledOutput =
    "C000  A2 00     LDX #$00\n"
    "C002  20 10 C0  JSR $C010\n"
    "C005  E8        INX\n"
    "C006  8E 20 D0  STX $D020\n"
    "C009  4C 02 C0  JMP $C002\n"
    "C010  A0 03     LDY #$03\n"
    "C012  88        DEY\n"
    "C013  D0 FD     BNE $C012\n"
    "C015  60        RTS\n"
    "PC:C000 A:00 X:00 Y:00 SP:FF FL:24 ..-..I..\n";

std::vector<std::string> AfterProgram(std::vector<std::string> lines) {
  lines.insert(lines.begin(), Assembled.begin(), Assembled.end());
  return lines;
}

struct Case {
  const char* Name;
  std::vector<std::string> Lines;
  std::string Output;  // after the program's assembly
};

class TextMonitorTranscript : public testing::TestWithParam<Case> {};

TEST_P(TextMonitorTranscript, GivesItsOutput) {
  const Case& c = GetParam();
  EXPECT_EQ(Transcript(AfterProgram(c.Lines)), AssembledOutput + c.Output);
}

std::string PrintName(const testing::TestParamInfo<Case>& info) { return info.param.Name; }

INSTANTIATE_TEST_SUITE_P(Commands, TextMonitorTranscript, testing::Values(
    Case{"Disassembly", {"d c000 c009", "d"},
         "C000  A2 00     LDX #$00\n"
         "C002  20 10 C0  JSR $C010\n"
         "C005  E8        INX\n"
         "C006  8E 20 D0  STX $D020\n"
         "C009  4C 02 C0  JMP $C002\n"
         // Going on where it stopped: the RAM's pattern between the two routines.
         "C00C  99 99 99  STA $9999,Y\n"
         "C00F  99 A0 03  STA $03A0,Y\n"
         "C012  88        DEY\n"
         "C013  D0 FD     BNE $C012\n"
         "C015  60        RTS\n"
         "C016  99 99 99  STA $9999,Y\n"
         "C019  99 99 99  STA $9999,Y\n"
         "C01C  99 99 99  STA $9999,Y\n"
         "C01F  99 99 99  STA $9999,Y\n"
         "C022  99 99 99  STA $9999,Y\n"
         "C025  99 99 99  STA $9999,Y\n"
         "C028  99 99 99  STA $9999,Y\n"},
    Case{"Registers", {"r a=12 x = 34, y=56 sp=f0", "r pc=zz", "r q=1"},
         "PC:C000 A:12 X:34 Y:56 SP:F0 FL:24 ..-..I..\n"
         "? 'zz' is no address\n"
         "? 'q' is no register (A X Y PC SP FL)\n"},
    // One step, two into the subroutine, one over a DEY, the branch back, the rest of the
    // subroutine, then three over the JSR.
    Case{"Steps", {"z", "z 2", "n", "z", "ret", "n 3", "r"},
         "C002  20 10 C0  JSR $C010         A:00 X:00 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "C012  88        DEY               A:00 X:00 Y:03 SP:FD FL:24 ..-..I..\n"
         "C013  D0 FD     BNE $C012         A:00 X:00 Y:02 SP:FD FL:24 ..-..I..\n"
         "C012  88        DEY               A:00 X:00 Y:02 SP:FD FL:24 ..-..I..\n"
         "C005  E8        INX               A:00 X:00 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "C002  20 10 C0  JSR $C010         A:00 X:01 Y:00 SP:FF FL:24 ..-..I..\n"
         "PC:C002 A:00 X:01 Y:00 SP:FF FL:24 ..-..I..\n"},
    Case{"Breakpoints", {"b c005", "g", "g", "r", "b", "disable 1", "b c015", "g", "del 1", "b"},
         "#1 exec $C005\n"
         "stop on #1 exec $C005\n"
         "C005  E8        INX               A:00 X:00 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "stop on #1 exec $C005\n"
         "C005  E8        INX               A:00 X:01 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "PC:C005 A:00 X:01 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "#1 exec $C005  hits 2\n"
         "#2 exec $C015\n"
         "stop on #2 exec $C015\n"
         "C015  60        RTS               A:00 X:02 Y:00 SP:FD FL:26 ..-..IZ.\n"
         "#2 exec $C015  hits 1\n"},
    // The store stops after the STX; the program's own fetches are no loads.
    Case{"Watchpoints", {"w store d020", "w load c000 c0ff", "g", "r", "m d020 d020", "del", "b"},
         "#1 store $D020\n"
         "#2 load $C000-$C0FF\n"
         "stop on #1 store $D020\n"
         "C009  4C 02 C0  JMP $C002         A:00 X:01 Y:00 SP:FF FL:24 ..-..I..\n"
         "PC:C009 A:00 X:01 Y:00 SP:FF FL:24 ..-..I..\n"
         "D020  F1                                               |.|\n"
         "no checkpoints\n"},
    Case{"Conditions", {"b c005 if x == 3 && y < 1", "g", "r", "cond 1 if x == $05", "g", "r",
                        "cond 1 a ==", "b c005 if pc > .nowhere", "b"},
         "#1 exec $C005\n"
         "stop on #1 exec $C005\n"
         "C005  E8        INX               A:00 X:03 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "PC:C005 A:00 X:03 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "stop on #1 exec $C005\n"
         "C005  E8        INX               A:00 X:05 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "PC:C005 A:00 X:05 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "? an operand is missing\n"
         "? '.nowhere' is no register, number or label\n"
         "#1 exec $C005  hits 2, if x == $05\n"},
    // Two hits ignored, the third stops; the temporary checkpoint goes once it has stopped.
    Case{"IgnoreAndUntil", {"b c005", "ignore 1 +2", "g", "r", "until c015", "b"},
         "#1 exec $C005\n"
         "stop on #1 exec $C005\n"
         "C005  E8        INX               A:00 X:02 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "PC:C005 A:00 X:02 Y:00 SP:FF FL:26 ..-..IZ.\n"
         "stop on #2 exec $C015\n"
         "C015  60        RTS               A:00 X:03 Y:00 SP:FD FL:26 ..-..IZ.\n"
         "#1 exec $C005  hits 3\n"},
    Case{"Memory", {"> c100 01 02 \"AB\" ff", "m c100 c107", "f c100 c10f 55 aa", "m c100 c10f",
                    "h c000 c1ff 55 aa 55", "h c000 c0ff 12 34", "> c200 100"},
         "C100  01 02 41 42 FF 99 99 99                          |..AB....|\n"
         "C100  55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA 55 AA  |U.U.U.U.U.U.U.U.|\n"
         "C100 C102 C104 C106 C108 C10A C10C\n"
         "not found\n"
         "? '100' is no byte\n"},
    // BASIC's ROM in the processor's view and the ROM bank, the RAM beneath in the RAM bank.
    Case{"Banks", {"m a000 a003", "bank ram", "> a000 11", "m a000 a003", "bank rom",
                   "m a000 a003", "bank", "bank vram"},
         "A000  94 E3 7B E3                                      |..{.|\n"
         "bank ram\n"
         "A000  11 99 99 99                                      |....|\n"
         "bank rom\n"
         "A000  94 E3 7B E3                                      |..{.|\n"
         "bank rom\n"
         "? the banks are cpu, ram, rom and io\n"},
    Case{"Labels", {"al c010 .delay", "al c005 counter", "d c000 c006", "b .delay", "g", "r",
                    "al c000 9bad"},
         "C000  A2 00     LDX #$00\n"
         "C002  20 10 C0  JSR delay\n"
         "counter:\n"
         "C005  E8        INX\n"
         "C006  8E 20 D0  STX $D020\n"
         "#1 exec $C010\n"
         "stop on #1 exec $C010\n"
         "C010  A0 03     LDY #$03          A:00 X:00 Y:00 SP:FD FL:26 ..-..IZ.\n"
         "PC:C010 A:00 X:00 Y:00 SP:FD FL:26 ..-..IZ.\n"
         "? '9bad' is no name\n"},
    Case{"Errors", {"frobnicate", "m zz", "m c010 c000", "a c000 lda ($12", "", "a c000 bne $c100",
                    "lda #$100", "xyz 1", "", "del 7", "z q", "b 1 2 if"},
         "? unknown command 'frobnicate' (help lists them)\n"
         "? 'zz' is no address\n"
         "? the end lies before the start\n"
         "? '($12' is no value\n"
         "? the branch cannot reach '$c100'\n"
         "? '$100' does not fit a byte\n"
         "? 'XYZ' is no instruction\n"
         "? there is no checkpoint #7\n"
         "? 'q' is no number\n"
         "? an operand is missing\n"}
), PrintName);

// Conditions as checkpoints test them: comparisons bind tighter than &&, which binds tighter
// than ||; numbers are hex unless "+" makes them decimal; labels stand for their addresses.
TEST(MonitorConditions, ReadAndCheckedOnTheRegisters) {
  ClearLabels();
  AddLabel("loop", 0xC005);
  const CpuRegisterFile r = {.A = 0x20, .X = 3, .Y = 0, .SP = 0xF3, .P = 0x22, .PC = 0xC005};
  struct Expected {
    const char* Text;
    bool Holds;
  };
  const Expected cases[] = {
      {"A == $20", true},          {"a == 20", true},           {"A == +32", true},
      {"X > 3", false},            {"X >= 3 && Y != 0", false}, {"X > 3 || Y == 0", true},
      {"A == 1 || X == 3 && Y == 0", true}, {"(A == 1 || X == 3) && Y == 1", false},
      {"PC == .loop", true},       {"PC == loop && SP < FF", true}, {"FL == $22", true},
      {"X <= 2", false},           {"X", true},                 {"Y", false},
  };
  for (const Expected& c : cases) {
    Condition condition{};
    ASSERT_EQ(CompileCondition(c.Text, FindLabel, condition), "") << c.Text;
    EXPECT_EQ(ConditionHolds(condition, r), c.Holds) << c.Text;
  }
  for (const char* bad : {"", "A ==", "(A == 1", "A == 1)", "Q == 1", "A = 1", "A == .none"}) {
    Condition condition{};
    EXPECT_NE(CompileCondition(bad, FindLabel, condition), "") << bad;
  }
  std::string deep;
  for (int i = 0; i < 30; ++i) deep += "A == 1 || ";
  Condition condition{};
  EXPECT_EQ(CompileCondition(deep + "X == 3", FindLabel, condition), "the condition is too long");
}

// What the monitor's disassembler shows, its assembler reads back: every opcode, with operands
// that need their full width. Where two opcodes do the same, the documented one (or the first)
// is taken, which shows the same.
TEST(MonitorAssembler, AssemblesWhatTheDisassemblerShows) {
  constexpr std::uint16_t Address = 0xC000;
  for (int opcode = 0; opcode < 256; ++opcode) {
    const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(opcode), 0x34, 0x12};
    const Disassembly shown = DisassembleBytes(Address, bytes, {true, nullptr});
    std::vector<std::uint8_t> assembled;
    ASSERT_EQ(AssembleLine(shown.Text, Address, nullptr, assembled), "") << shown.Text;
    ASSERT_EQ(assembled.size(), static_cast<std::size_t>(shown.Length)) << shown.Text;
    const std::uint8_t again[3] = {assembled[0],
                                   shown.Length > 1 ? assembled[1] : std::uint8_t{0x34},
                                   shown.Length > 2 ? assembled[2] : std::uint8_t{0x12}};
    EXPECT_STREQ(DisassembleBytes(Address, again, {true, nullptr}).Text, shown.Text);
    if (assembled[0] != opcode) {
      EXPECT_TRUE(IsUndocumented(static_cast<std::uint8_t>(opcode))) << shown.Text;
    }
  }
  struct Expected {
    const char* Line;
    std::vector<std::uint8_t> Bytes;
  };
  const Expected cases[] = {
      {"nop", {0xEA}},
      {"sbc #1", {0xE9, 0x01}},
      {"lda $12", {0xA5, 0x12}},            // page zero where the value fits
      {"lda $1234", {0xAD, 0x34, 0x12}},
      {"jmp $12", {0x4C, 0x12, 0x00}},      // no page-zero JMP
      {"stx $12,y", {0x96, 0x12}},
      {"lda ( $12 ) , y", {0xB1, 0x12}},
      {"asl a", {0x0A}},
      {"bpl $bf82", {0x10, 0x80}},          // the farthest back from $C000
      {"lda #+10", {0xA9, 0x0A}},
  };
  for (const Expected& c : cases) {
    std::vector<std::uint8_t> bytes;
    EXPECT_EQ(AssembleLine(c.Line, Address, nullptr, bytes), "") << c.Line;
    EXPECT_EQ(bytes, c.Bytes) << c.Line;
  }
}

// The machine booted to BASIC, its screen as text, memory to a file and back, labels from a
// file of either form, and a reset.
TEST(TextMonitorTranscripts, ScreenFilesLabelsAndReset) {
  const std::string program = test::WriteTempFile("code.prg", {});
  const std::string labels = test::WriteTempFile("code.labels", {});
  std::ofstream(labels) << "al C:c010 .delay\n"
                          "counter = $c005 ; where X counts\n"
                          "\n"
                          "this is no label\n";
  std::vector<std::string> lines = AfterProgram({
      "s \"" + program + "\" c000 c015", "f c000 c015 00", "l \"" + program + "\"",
      "l \"" + program + "\" c100", "m c100 c103", "ll \"" + labels + "\"", "d c002 c005",
      "ll \"" + labels + ".missing\"", "r pc=fce2", "until e5cd", "screen", "reset"});
  const std::string output = Transcript(lines);
  const std::string expected = std::string(AssembledOutput) +
      "saved $C000-$C015\n"
      "loaded $C000-$C015\n"
      "loaded $C100-$C115\n"
      "C100  A2 00 20 10                                      |.. .|\n"
      "? line 4 is no label: this is no label\n"
      "2 labels\n"
      "C002  20 10 C0  JSR delay\n"
      "counter:\n"
      "C005  E8        INX\n"
      "? cannot read '" + labels + ".missing'\n"
      "PC:FCE2 A:00 X:00 Y:00 SP:FF FL:24 ..-..I..\n"
      "stop on #1 exec $E5CD\n"
      "E5CD  A5 C6     LDA $C6           A:00 X:00 Y:0A SP:F3 FL:32 ..-B..Z.\n"
      "\n"
      "    **** COMMODORE 64 BASIC V2 ****\n"
      "\n"
      " 64K RAM SYSTEM  38911 BASIC BYTES FREE\n"
      "\n"
      "READY.\n" + std::string(19, '\n') +
      "FCE2  A2 FF     LDX #$FF          A:00 X:00 Y:0A SP:FF FL:30 ..-B....\n";
  EXPECT_EQ(output, expected);
}

}  // namespace
}  // namespace quillon
