#include <gtest/gtest.h>

#include <cstdint>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

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

}  // namespace
}  // namespace quillon
