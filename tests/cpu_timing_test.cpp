#include <gtest/gtest.h>

#include <cstdint>

#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

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
  test::StartProgram(0x1000, {static_cast<std::uint8_t>(opcode), 0x10, 0x30});
  Cpu.X = Cpu.Y = index;
  Cpu.P = status;
  return test::RunInstruction();
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
  test::StartProgram(0x1000, {0x80});
  CpuExecute();
  EXPECT_EQ(Cpu.Opcode, 0x82);
}

}  // namespace
}  // namespace quillon
