#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "sid/sid.h"
#include "support/machine.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

// The standard exerciser of every documented instruction, run from all-RAM memory through the
// real bus. It ends in a jump to itself: at $3469 when every check passed, elsewhere at the
// check that failed (its listing explains the address).
TEST(CpuExerciser, RunsEveryDocumentedInstructionToItsSuccessLoop) {
  test::PowerOnMachine();
  std::FILE* file = std::fopen(QUILLON_TESTDATA_DIR "/6502_functional_test.bin", "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fread(MainRam, 1, MainRamSize, file), MainRamSize);
  std::fclose(file);
  // The image's port byte has LORAM and HIRAM clear, which maps RAM everywhere; its zero page
  // starts at $0A, so the port is never written.
  ASSERT_EQ(MainRam[1] & 3, 0);
  Cpu.PC = 0x0400;

  long cycles = 0;
  for (std::uint16_t previous = 0; cycles < 150'000'000; ++cycles) {
    CpuExecute();
    if (Cpu.Opcode != ServiceMarker) continue;
    if (Cpu.PC == previous) break;
    previous = Cpu.PC;
  }
  EXPECT_EQ(Cpu.PC, 0x3469) << std::hex << "stopped at $" << Cpu.PC;
  std::printf("exerciser reached $%04X after %ld cycles\n", Cpu.PC, cycles + 1);
}

// Per opcode: tens = instruction length (0 for the jumps), units = cycles. Branches not taken.
constexpr std::uint8_t LengthAndCycles[256] = {
     7, 26, 12, 12, 22, 23, 25, 12, 13, 22, 12, 25, 32, 34, 36, 12,  // 0x
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 39,  // 1x
     6, 26, 12, 12, 23, 23, 25, 12, 14, 22, 12, 12, 34, 34, 36, 12,  // 2x
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 12,  // 3x
     6, 26, 12, 12, 22, 23, 25, 12, 13, 22, 12, 12,  3, 34, 36, 12,  // 4x
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 12,  // 5x
     6, 26, 12, 12, 22, 23, 25, 26, 14, 22, 12, 12,  5, 34, 36, 12,  // 6x
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 12,  // 7x
    22, 26, 22, 12, 23, 23, 23, 26, 12, 22, 12, 12, 34, 34, 34, 12,  // 8x
    22, 26, 12, 12, 24, 24, 24, 12, 12, 35, 12, 12, 12, 35, 12, 12,  // 9x
    22, 26, 22, 12, 23, 23, 23, 12, 12, 22, 12, 12, 34, 34, 34, 12,  // Ax
    22, 25, 12, 12, 24, 24, 24, 12, 12, 34, 12, 12, 34, 34, 34, 32,  // Bx
    22, 26, 22, 29, 23, 23, 25, 27, 12, 22, 12, 12, 34, 34, 36, 12,  // Cx
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 12,  // Dx
    22, 26, 22, 12, 23, 23, 25, 12, 12, 22, 12, 12, 34, 34, 36, 12,  // Ex
    22, 25, 12, 12, 22, 24, 26, 12, 12, 34, 12, 12, 32, 34, 37, 39,  // Fx
};

// Reads through (zp),Y, abs,Y and abs,X (but not LAX $BF) take a cycle more across a page.
bool CostsPageCross(unsigned opcode) {
  const unsigned low = opcode & 0x1F;
  return opcode == 0xBE || opcode == 0xBC ||
         ((opcode & 0xE0) != 0x80 && (low == 0x11 || low == 0x19 || low == 0x1D));
}

// The opcode at $1000 with operand bytes $10 $30: the zero-page pointer at $10 holds $9999 and
// the absolute operand is $3010, so X = Y = $FF moves every indexed address into the next page.
int RunOpcode(unsigned opcode, std::uint8_t index, std::uint8_t status) {
  StartProgram(0x1000, {static_cast<std::uint8_t>(opcode), 0x10, 0x30});
  Cpu.X = Cpu.Y = index;
  Cpu.P = status;
  return RunInstruction();
}

TEST(CpuTiming, EveryOpcodeHasItsLengthAndCycleCount) {
  for (unsigned opcode = 0; opcode < 256; ++opcode) {
    SCOPED_TRACE(testing::Message() << "opcode $" << std::hex << opcode);
    const int cycles = LengthAndCycles[opcode] % 10, length = LengthAndCycles[opcode] / 10;
    // With N, V, Z and C all set or all clear, the branches fall through.
    const std::uint8_t fallThrough = (opcode & 0x20) ? 0x30 : 0xF3;
    EXPECT_EQ(RunOpcode(opcode, 0, fallThrough), cycles);
    if (length != 0) {
      EXPECT_EQ(Cpu.PC, 0x1000 + length) << "length";
    }
    EXPECT_EQ(RunOpcode(opcode, 0xFF, fallThrough), cycles + CostsPageCross(opcode));
    if ((opcode & 0x1F) == 0x10) {
      EXPECT_EQ(RunOpcode(opcode, 0, fallThrough ^ 0xC3), 3) << "taken";
      EXPECT_EQ(Cpu.PC, 0x1012);
    }
  }
  // $80 is the service step's marker: fetched from memory it runs as $82.
  StartProgram(0x1000, {0x80});
  CpuExecute();
  EXPECT_EQ(Cpu.Opcode, 0x82);
}

TEST(CpuAddressing, AddressesWrapAsOnTheNmosProcessor) {
  StartProgram(0x1000, {0xBD, 0xFF, 0x12, 0xB5, 0xFF, 0xBD, 0xFF, 0xFF, 0xB6, 0xFF, 0x95, 0xFF,
                        0xA1, 0xFF, 0xB1, 0xFF, 0x6C, 0xFF, 0x12});
  MainRam[0x1302] = 0x22;
  MainRam[0x00FF] = 0x34;  // a page-zero pointer at $FF takes its high byte from $0100
  MainRam[0x0100] = 0x20;
  MainRam[0x2036] = 0xCD;
  MainRam[0x12FF] = 0x00;  // a jump pointer at $12FF takes its high byte from $1200
  MainRam[0x1200] = 0x40;
  Cpu.X = 3;
  EXPECT_EQ(RunInstruction(), 5);  // LDA $12FF,X crosses into page $13
  EXPECT_EQ(Cpu.A, 0x22);
  Cpu.X = Cpu.Y = 2;
  RunInstruction();  // LDA $FF,X stays in page zero: the port value at $0001
  EXPECT_EQ(Cpu.A, 0x37);
  Cpu.A = 0;
  RunInstruction();  // LDA $FFFF,X wraps at 64 KB
  EXPECT_EQ(Cpu.A, 0x37);
  RunInstruction();  // LDX $FF,Y
  EXPECT_EQ(Cpu.X, 0x37);
  Cpu.X = 3;
  RunInstruction();  // STA $FF,X writes $0002, not $0102
  EXPECT_EQ(MainRam[0x0002], 0x37);
  EXPECT_EQ(MainRam[0x0102], 0x99);
  Cpu.X = 0;
  EXPECT_EQ(RunInstruction(), 6);  // LDA ($FF,X)
  EXPECT_EQ(Cpu.A, MainRam[0x2034]);
  EXPECT_EQ(RunInstruction(), 5);  // LDA ($FF),Y
  EXPECT_EQ(Cpu.A, 0xCD);
  RunInstruction();  // JMP ($12FF)
  EXPECT_EQ(Cpu.PC, 0x4000);

  StartProgram(0x10F0, {0xD0, 0x10});
  EXPECT_EQ(RunInstruction(), 3) << "a taken branch into the next page";
  EXPECT_EQ(Cpu.PC, 0x1102);
}

TEST(CpuStack, PushesAndPullsWrapInPageOneAndKeepStatusBitsFiveAndFour) {
  StartProgram(0x1000, {0x08, 0x28, 0x20, 0x00, 0x20});
  RunInstruction();  // PHP at power-on pushes $30
  EXPECT_EQ(MainRam[0x01FF], 0x30);
  MainRam[0x01FF] = 0x00;
  RunInstruction();  // PLP of $00
  EXPECT_EQ(Cpu.P, 0x30);
  Cpu.SP = 0x00;
  RunInstruction();  // JSR $2000 pushes the address of its last byte, $1004
  EXPECT_EQ(MainRam[0x0100], 0x10);
  EXPECT_EQ(MainRam[0x01FF], 0x04);
  EXPECT_EQ(Cpu.SP, 0xFE);
  MainRam[0x2000] = 0x60;  // RTS
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x1005);
  EXPECT_EQ(Cpu.SP, 0x00);

  StartProgram(0x1000, {0x40});
  MainRam[0x0100] = 0xC3;
  MainRam[0x0101] = 0x00;
  MainRam[0x0102] = 0x20;
  RunInstruction();  // RTI at SP $FF pulls P, then the address, with no one added
  EXPECT_EQ(Cpu.P, 0xF3);
  EXPECT_EQ(Cpu.PC, 0x2000);
}

// One instruction with X = Y = $0C and the byte at $10: A, P and that byte before and after.
struct Case {
  std::uint8_t Code[3], Memory, A, P, ExpectedMemory, ExpectedA, ExpectedP;
};

constexpr Case Cases[] = {
    {{0x69, 0x34}, 0, 0x55, 0x30, 0, 0x89, 0xF0},  // ADC: signed overflow into N
    {{0x69, 0x01}, 0, 0x09, 0x38, 0, 0x10, 0x38},  // decimal 09 + 01
    {{0x69, 0x01}, 0, 0x99, 0x38, 0, 0x00, 0xB9},  // decimal 99 + 01: Z from the binary $9A
    {{0x69, 0x50}, 0, 0x50, 0x38, 0, 0x00, 0xF9},  // decimal 50 + 50: N, V from the sum $A0
    {{0xE9, 0x01}, 0, 0x10, 0x39, 0, 0x09, 0x39},  // decimal 10 - 01
    {{0xE9, 0x50}, 0, 0x20, 0x39, 0, 0x70, 0xB8},  // decimal 20 - 50 borrows
    {{0xE9, 0x10}, 0, 0x05, 0x39, 0, 0x95, 0xB8},  // decimal 05 - 10 borrows
    {{0xE9, 0x34}, 0, 0x55, 0x30, 0, 0x20, 0x31},  // binary SBC with a borrow in
    {{0xC0, 0xF0}, 0, 0x00, 0xB3, 0, 0x00, 0x30},  // CPY #$F0 with Y = $0C
    {{0x24, 0x10}, 0xC0, 0x01, 0x30, 0xC0, 0x01, 0xF2},  // BIT: N, V from m, Z from A AND m
    {{0x4A}, 0, 0x01, 0x30, 0, 0x00, 0x33},        // LSR A of $01
    {{0x6A}, 0, 0x01, 0x31, 0, 0x80, 0xB1},        // ROR A of $01 with C
    {{0x2A}, 0, 0x80, 0x30, 0, 0x00, 0x33},        // ROL A of $80
    {{0x0B, 0x21}, 0, 0x00, 0x31, 0, 0x42, 0x30},  // shift the operand left and OR it into A
    {{0x0B, 0x80}, 0, 0x00, 0x30, 0, 0x00, 0x33},
    {{0x67, 0x10}, 0x03, 0x10, 0x30, 0x01, 0x12, 0x30},  // RRA: C from the rotation, then ADC
    {{0x67, 0x10}, 0x12, 0x19, 0x39, 0x89, 0x08, 0xB9},  // RRA in decimal: 19 + 89 = 108
    {{0xC7, 0x10}, 0x41, 0x40, 0x30, 0x40, 0x40, 0x33},  // DCP: decrement, then compare
    {{0x87, 0x10}, 0x99, 0x3A, 0x30, 0x08, 0x3A, 0x30},  // SAX stores A AND X
    {{0xBF, 0x04, 0x00}, 0x80, 0x00, 0x30, 0x80, 0x80, 0xB0},  // LAX $0004,Y
};

TEST(CpuArithmetic, OperationsGiveTheirValuesAndFlags) {
  for (const Case& c : Cases) {
    SCOPED_TRACE(testing::Message() << std::hex << "opcode $" << +c.Code[0] << " A $" << +c.A
                                    << " operand $" << +c.Code[1] << " P $" << +c.P);
    StartProgram(0x1000, {c.Code[0], c.Code[1], c.Code[2]});
    MainRam[0x10] = c.Memory;
    Cpu.A = c.A;
    Cpu.X = Cpu.Y = 0x0C;
    Cpu.P = c.P;
    RunInstruction();
    EXPECT_EQ(MainRam[0x10], c.ExpectedMemory);
    EXPECT_EQ(Cpu.A, c.ExpectedA);
    EXPECT_EQ(Cpu.P, c.ExpectedP);
    EXPECT_EQ(Cpu.X, c.Code[0] == 0xBF ? c.ExpectedA : 0x0C);
  }
}

// $DFFF answers $AA, $55, $AA, ... and drops writes, so the toggle left behind and the values an
// instruction worked with show how often it read its target.
struct AccessCase {
  const char* Name;
  std::uint8_t Code[3];
  std::uint8_t ExpectedToggle, ExpectedA, ExpectedP;
};

constexpr AccessCase AccessCases[] = {
    // The shifts and rotates read twice: ASL takes C from the first read and shifts the
    // second, ROL and ROR shift the first and take C from the second.
    {"ASL", {0x0E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30 | FlagN | FlagC},
    {"ROL", {0x2E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30},
    {"ROR", {0x6E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30 | FlagC},
    {"LSR", {0x4E, 0xFF, 0xDF}, 0x55, 0x00, 0x30},
    {"INC", {0xEE, 0xFF, 0xDF}, 0x55, 0x00, 0x30 | FlagN},
    {"LDA", {0xAD, 0xFF, 0xDF}, 0x55, 0xAA, 0x30 | FlagN},
    {"STA", {0x8D, 0xFF, 0xDF}, 0xAA, 0x00, 0x30},
    // Read, read, write, read back.
    {"SLO", {0x1F, 0xFF, 0xDF}, 0x55, 0xAA, 0x30 | FlagN | FlagC},
    // Read, write, read back: $AA + 1 is dropped and $55 comes back.
    {"ISC", {0xFF, 0xFF, 0xDF}, 0xAA, 0xAB, 0x30 | FlagN},
    {"DCP (zp,X)", {0xC3, 0x10, 0x00}, 0xAA, 0x00, 0x30 | FlagN},
};

TEST(CpuBusAccess, EachInstructionReadsItsTargetAsOftenAsTheProcessorDoes) {
  for (const AccessCase& c : AccessCases) {
    SCOPED_TRACE(c.Name);
    StartProgram(0x1000, {c.Code[0], c.Code[1], c.Code[2]});
    MainRam[0x10] = 0xFF;  // a pointer to $DFFF
    MainRam[0x11] = 0xDF;
    if (c.Code[0] == 0xFF) {
      Cpu.A = 0x00;  // $00 - $55 with the borrow taken
      Cpu.P |= FlagC;
    }
    RunInstruction();
    EXPECT_EQ(IdToggle, c.ExpectedToggle);
    EXPECT_EQ(Cpu.A, c.ExpectedA);
    EXPECT_EQ(Cpu.P, c.ExpectedP);
  }
}

// A program with the KERNAL banked out, so the vectors come from RAM: the IRQ handler at $2000
// and the NMI handler at $3000 are each a single RTI.
void StartWithHandlers(std::uint16_t address, std::initializer_list<std::uint8_t> code) {
  StartProgram(address, code);
  MainRam[1] = 0x35;
  const std::uint8_t vectors[] = {0x00, 0x30, 0x00, 0x00, 0x00, 0x20};
  std::copy(vectors, vectors + 6, MainRam + 0xFFFA);
  MainRam[0x2000] = MainRam[0x3000] = 0x40;
}

TEST(CpuInterrupts, IrqIsLevelTriggeredAndNmiIsTakenOnceOnTopOfIt) {
  StartWithHandlers(0x1234, {0xEA, 0xEA});
  Cpu.P = 0x30 | FlagD;
  Cpu.SP = 0xF0;
  Cpu.IrqPending = 1;
  CpuExecute();  // entry and the fetch of the handler's first opcode in one call
  EXPECT_EQ(MainRam[0x01F0] << 16 | MainRam[0x01EF] << 8 | MainRam[0x01EE], 0x123428)
      << "the address, then the status with B clear";
  EXPECT_EQ(Cpu.SP, 0xED);
  EXPECT_EQ(Cpu.P, 0x30 | FlagD | FlagI) << "I set, D left alone";
  EXPECT_EQ(Cpu.PC, 0x2000);
  RunInstruction();  // RTI clears I and the line is still high
  CpuExecute();
  EXPECT_EQ(Cpu.PC, 0x2000) << "entered again before the program goes on";
  RunInstruction();
  Cpu.IrqPending = 0;
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x1235);

  StartWithHandlers(0x1000, {0xEA, 0xEA});
  Cpu.P |= FlagI;
  Cpu.IrqPending = Cpu.NmiPending = 1;
  CpuExecute();  // the masked IRQ waits, the NMI does not
  EXPECT_EQ(Cpu.PC, 0x3000);
  RunInstruction();
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x1001) << "no second NMI without a new request";
  Cpu.P &= ~FlagI;
  Cpu.NmiPending = 1;
  CpuExecute();  // both entries in one step: the NMI returns to the IRQ handler's start
  EXPECT_EQ(Cpu.SP, 0xF9);
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x2000);
}

TEST(CpuInterrupts, AreTakenBetweenInstructionsAndDifferFromBrk) {
  StartWithHandlers(0x1000, {0x00, 0xFF});
  EXPECT_EQ(RunInstruction(), 7);  // BRK pushes its address + 2 and B set
  EXPECT_EQ(MainRam[0x01FE] << 8 | MainRam[0x01FD], 0x0230);
  EXPECT_EQ(Cpu.PC, 0x2000);
  StartWithHandlers(0x1000, {0x00, 0xFF});
  Cpu.IrqPending = 1;
  CpuExecute();  // an IRQ before the BRK pushes the BRK's own address and B clear
  EXPECT_EQ(MainRam[0x01FE] << 8 | MainRam[0x01FD], 0x0020);

  StartWithHandlers(0x1000, {0x20, 0x00, 0x40});  // JSR $4000, 6 cycles
  for (int i = 0; i < 3; ++i) CpuExecute();
  Cpu.IrqPending = 1;
  for (int i = 0; i < 3; ++i) CpuExecute();
  EXPECT_EQ(Cpu.PC, 0x4000) << "the JSR finishes first";
  CpuExecute();
  EXPECT_EQ(Cpu.PC, 0x2000);
}

TEST(CpuReset, RequestAndTheKernalsResetEntrySilenceTheSid) {
  StartWithHandlers(0x1000, {0xEA});
  Cpu.SP = 0x80;
  Cpu.P = 0xFF;
  Cpu.IrqPending = Cpu.NmiPending = 1;
  Cpu.ResetRequest = 1;
  ActiveVoices = AllVoicesMask | 0x8;
  CpuExecute();
  EXPECT_EQ(Cpu.PC, 0xFCE2);
  EXPECT_EQ(Cpu.SP, 0xFF);
  EXPECT_EQ(Cpu.P, 0x30);
  EXPECT_EQ(Cpu.ResetRequest + Cpu.IrqPending + Cpu.NmiPending, 0);
  EXPECT_EQ(MainRam[0x1000], 0x99) << "memory is back in its power-on condition";
  EXPECT_EQ(Cpu.Opcode, RomImages.Kernal[0x1CE2]);
  EXPECT_EQ(ActiveVoices.load(), 0x8u) << "only the three voice bits are cleared";

  StartProgram(0x1000, {0x4C, 0xE2, 0xFC});  // JMP $FCE2, as SYS 64738 does
  ActiveVoices = AllVoicesMask;
  RunInstruction();
  EXPECT_EQ(ActiveVoices.load(), AllVoicesMask);
  CpuExecute();
  EXPECT_EQ(ActiveVoices.load(), 0u);
}

}  // namespace
}  // namespace quillon
