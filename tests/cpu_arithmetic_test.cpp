#include <gtest/gtest.h>

#include <cstdint>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

struct RegisterCase {
  std::uint8_t Opcode, Operand, A, P, ExpectedA, ExpectedP;
};

// Immediate and accumulator forms: A and P before and after one instruction.
constexpr RegisterCase RegisterCases[] = {
    {0x69, 0x34, 0x55, 0x30, 0x89, 0xF0},  // ADC: signed overflow into N
    {0x69, 0x01, 0x09, 0x38, 0x10, 0x38},  // decimal 09 + 01
    {0x69, 0x01, 0x99, 0x38, 0x00, 0xB9},  // decimal 99 + 01: Z from the binary sum $9A
    {0x69, 0x50, 0x50, 0x38, 0x00, 0xF9},  // decimal 50 + 50: N and V from the intermediate $A0
    {0xE9, 0x01, 0x10, 0x39, 0x09, 0x39},  // decimal 10 - 01
    {0xE9, 0x50, 0x20, 0x39, 0x70, 0xB8},  // decimal 20 - 50 borrows
    {0xE9, 0x10, 0x05, 0x39, 0x95, 0xB8},  // decimal 05 - 10 borrows
    {0xE9, 0x34, 0x55, 0x30, 0x20, 0x31},  // binary SBC with borrow in
    {0x4A, 0x00, 0x01, 0x30, 0x00, 0x33},  // LSR of $01
    {0x6A, 0x00, 0x01, 0x31, 0x80, 0xB1},  // ROR of $01 with C
    {0x2A, 0x00, 0x80, 0x30, 0x00, 0x33},  // ROL of $80 without C
    {0x0B, 0x21, 0x00, 0x31, 0x42, 0x30},  // shift left and OR: C from bit 7 of the operand
    {0x0B, 0x80, 0x00, 0x30, 0x00, 0x33},
};

TEST(CpuArithmetic, ImmediateAndAccumulatorOperationsSetTheirFlags) {
  for (const RegisterCase& c : RegisterCases) {
    SCOPED_TRACE(testing::Message() << std::hex << "opcode $" << +c.Opcode << " A $" << +c.A
                                    << " m $" << +c.Operand << " P $" << +c.P);
    StartProgram(0x1000, {c.Opcode, c.Operand});
    Cpu.A = c.A;
    Cpu.P = c.P;
    RunInstruction();
    EXPECT_EQ(Cpu.A, c.ExpectedA);
    EXPECT_EQ(Cpu.P, c.ExpectedP);
  }
}

TEST(CpuArithmetic, CompareAndBitLeaveTheRegisterAlone) {
  StartProgram(0x1000, {0xC0, 0xF0, 0x24, 0x10});  // CPY #$F0; BIT $10
  MainRam[0x10] = 0xC0;
  Cpu.Y = 0x10;
  Cpu.A = 0x01;
  Cpu.P = 0x30 | FlagN | FlagZ | FlagC;
  RunInstruction();
  EXPECT_EQ(Cpu.P, 0x30);
  EXPECT_EQ(Cpu.Y, 0x10);
  RunInstruction();
  EXPECT_EQ(Cpu.P, 0x30 | FlagN | FlagV | FlagZ);
  EXPECT_EQ(Cpu.A, 0x01);
}

// The combined operations write memory and then work on the byte they read back.
TEST(CpuArithmetic, UndocumentedOperationsCombineTheirParts) {
  StartProgram(0x1000, {0x67, 0x10, 0xC7, 0x11, 0xFF, 0x10, 0x30, 0x1F, 0x11, 0x30,
                        0x87, 0x12, 0xBF, 0x10, 0x30, 0xC3, 0x0E});
  MainRam[0x10] = 0x03;
  MainRam[0x11] = 0x41;
  MainRam[0x3010] = 0x0F;
  MainRam[0x3011] = 0x81;
  Cpu.A = 0x10;
  RunInstruction();  // RRA $10: $03 -> $01, C = 1, A = $10 + $01 + 1
  EXPECT_EQ(MainRam[0x10], 0x01);
  EXPECT_EQ(Cpu.A, 0x12);
  EXPECT_EQ(Cpu.P, 0x30);
  Cpu.A = 0x40;
  RunInstruction();  // DCP $11: $41 -> $40, equal to A
  EXPECT_EQ(MainRam[0x11], 0x40);
  EXPECT_EQ(Cpu.P, 0x30 | FlagZ | FlagC);
  Cpu.A = 0x20;
  RunInstruction();  // ISC $3010,X: $0F -> $10, A = $20 - $10
  EXPECT_EQ(MainRam[0x3010], 0x10);
  EXPECT_EQ(Cpu.A, 0x10);
  EXPECT_EQ(Cpu.P, 0x30 | FlagC);
  Cpu.A = 0x02;
  RunInstruction();  // SLO $3011,X: $81 -> $02, C from bit 7, A = $02 OR $02
  EXPECT_EQ(MainRam[0x3011], 0x02);
  EXPECT_EQ(Cpu.A, 0x02);
  EXPECT_EQ(Cpu.P, 0x30 | FlagC);
  Cpu.A = 0xF0;
  Cpu.X = 0x3C;
  RunInstruction();  // SAX $12
  EXPECT_EQ(MainRam[0x12], 0x30);
  EXPECT_EQ(Cpu.P, 0x30 | FlagC);
  Cpu.Y = 0;
  MainRam[0x3010] = 0x80;
  RunInstruction();  // LAX $3010,Y
  EXPECT_EQ(Cpu.A, 0x80);
  EXPECT_EQ(Cpu.X, 0x80);
  EXPECT_EQ(Cpu.P, 0x30 | FlagN | FlagC);
  Cpu.X = 0x00;  // DCP ($0E,X) through the pointer $0E/$0F
  MainRam[0x0E] = 0x00;
  MainRam[0x0F] = 0x40;
  MainRam[0x4000] = 0x01;
  Cpu.A = 0x01;
  RunInstruction();
  EXPECT_EQ(MainRam[0x4000], 0x00);
  EXPECT_EQ(Cpu.P, 0x30 | FlagC);
}

TEST(CpuArithmetic, RotateRightAndAddFollowsDecimalMode) {
  StartProgram(0x1000, {0x67, 0x10});
  MainRam[0x10] = 0x12;
  Cpu.A = 0x19;
  Cpu.P = 0x30 | FlagD | FlagC;
  RunInstruction();  // $12 -> $89 with the old C; C = 0 from bit 0; 19 + 89 = 108 in BCD
  EXPECT_EQ(MainRam[0x10], 0x89);
  EXPECT_EQ(Cpu.A, 0x08);
  EXPECT_EQ(Cpu.P, 0x30 | FlagD | FlagN | FlagC);
}

}  // namespace
}  // namespace quillon
