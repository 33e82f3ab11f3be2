#include <gtest/gtest.h>

#include <cstdint>

#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

// Cycle counts of the 6510's opcodes as this machine runs them, a row per high nibble; branches
// are listed not taken.
constexpr std::uint8_t Cycles[256] = {
    7, 6, 2, 2, 2, 3, 5, 2, 3, 2, 2, 5, 2, 4, 6, 2,  // 0x
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 9,  // 1x
    6, 6, 2, 2, 3, 3, 5, 2, 4, 2, 2, 2, 4, 4, 6, 2,  // 2x
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 3x
    6, 6, 2, 2, 2, 3, 5, 2, 3, 2, 2, 2, 3, 4, 6, 2,  // 4x
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 5x
    6, 6, 2, 2, 2, 3, 5, 6, 4, 2, 2, 2, 5, 4, 6, 2,  // 6x
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // 7x
    2, 6, 2, 2, 3, 3, 3, 6, 2, 2, 2, 2, 4, 4, 4, 2,  // 8x
    2, 6, 2, 2, 4, 4, 4, 2, 2, 5, 2, 2, 2, 5, 2, 2,  // 9x
    2, 6, 2, 2, 3, 3, 3, 2, 2, 2, 2, 2, 4, 4, 4, 2,  // Ax
    2, 5, 2, 2, 4, 4, 4, 2, 2, 4, 2, 2, 4, 4, 4, 2,  // Bx
    2, 6, 2, 9, 3, 3, 5, 7, 2, 2, 2, 2, 4, 4, 6, 2,  // Cx
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 2,  // Dx
    2, 6, 2, 2, 3, 3, 5, 2, 2, 2, 2, 2, 4, 4, 6, 2,  // Ex
    2, 5, 2, 2, 2, 4, 6, 2, 2, 4, 2, 2, 2, 4, 7, 9,  // Fx
};

// Instruction lengths; 0 marks the jumps, whose new PC is checked on its own.
constexpr std::uint8_t Lengths[256] = {
    0, 2, 1, 1, 2, 2, 2, 1, 1, 2, 1, 2, 3, 3, 3, 1,  // 0x
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 3,  // 1x
    0, 2, 1, 1, 2, 2, 2, 1, 1, 2, 1, 1, 3, 3, 3, 1,  // 2x
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 1,  // 3x
    0, 2, 1, 1, 2, 2, 2, 1, 1, 2, 1, 1, 0, 3, 3, 1,  // 4x
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 1,  // 5x
    0, 2, 1, 1, 2, 2, 2, 2, 1, 2, 1, 1, 0, 3, 3, 1,  // 6x
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 1,  // 7x
    2, 2, 2, 1, 2, 2, 2, 2, 1, 2, 1, 1, 3, 3, 3, 1,  // 8x
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 1, 3, 1, 1,  // 9x
    2, 2, 2, 1, 2, 2, 2, 1, 1, 2, 1, 1, 3, 3, 3, 1,  // Ax
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 3,  // Bx
    2, 2, 2, 2, 2, 2, 2, 2, 1, 2, 1, 1, 3, 3, 3, 1,  // Cx
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 1,  // Dx
    2, 2, 2, 1, 2, 2, 2, 1, 1, 2, 1, 1, 3, 3, 3, 1,  // Ex
    2, 2, 1, 1, 2, 2, 2, 1, 1, 3, 1, 1, 3, 3, 3, 3,  // Fx
};

bool CostsPageCross(std::uint8_t opcode) {
  // (zp),Y, abs,Y and abs,X reads of the documented set, LDX abs,Y and LDY abs,X.
  const unsigned low = opcode & 0x1F;
  if (opcode == 0xBE || opcode == 0xBC) return true;
  if ((opcode & 0xE0) == 0x80) return false;  // stores
  return low == 0x11 || low == 0x19 || low == 0x1D;
}

bool IsBranch(std::uint8_t opcode) { return (opcode & 0x1F) == 0x10; }

// Opcode at $1000 with operand bytes $10 $30: zero-page pointers at $10 hold $9999 and the
// absolute operand is $3010. With X = Y = $FF every indexed address leaves its base's page.
int RunOpcode(std::uint8_t opcode, std::uint8_t index, std::uint8_t status = 0x30) {
  StartProgram(0x1000, {opcode, 0x10, 0x30});
  Cpu.X = Cpu.Y = index;
  Cpu.P = status;
  return RunInstruction();
}

TEST(CpuTiming, EveryOpcodeHasItsLengthAndCycleCount) {
  for (unsigned value = 0; value < 256; ++value) {
    const auto opcode = static_cast<std::uint8_t>(value);
    SCOPED_TRACE(testing::Message() << "opcode $" << std::hex << value);
    // With N, V, Z and C set every branch but BMI, BVS, BEQ and BCS falls through.
    const std::uint8_t fallThrough = (opcode & 0x20) ? 0x30 : 0xF3;
    EXPECT_EQ(RunOpcode(opcode, 0, fallThrough), Cycles[value]);
    if (Lengths[value] != 0) {
      EXPECT_EQ(Cpu.PC, 0x1000 + Lengths[value]);
    }
    EXPECT_EQ(RunOpcode(opcode, 0xFF, fallThrough), Cycles[value] + (CostsPageCross(opcode) ? 1 : 0));
    if (IsBranch(opcode)) {
      EXPECT_EQ(RunOpcode(opcode, 0, static_cast<std::uint8_t>(fallThrough ^ 0xC3)), 3) << "taken";
      EXPECT_EQ(Cpu.PC, 0x1012);
    }
  }
}

TEST(CpuTiming, JumpsLandOnTheirTargets) {
  RunOpcode(0x00, 0);  // BRK through the KERNAL's IRQ vector
  EXPECT_EQ(Cpu.PC, RomImages.Kernal[0x1FFE] | (RomImages.Kernal[0x1FFF] << 8));
  RunOpcode(0x20, 0);
  EXPECT_EQ(Cpu.PC, 0x3010);
  RunOpcode(0x4C, 0);
  EXPECT_EQ(Cpu.PC, 0x3010);
  RunOpcode(0x6C, 0);  // through the RAM pattern at $3010
  EXPECT_EQ(Cpu.PC, 0x9999);
  RunOpcode(0x40, 0);  // RTI pulls the pattern from $0100-$0102
  EXPECT_EQ(Cpu.PC, 0x9999);
  RunOpcode(0x60, 0);
  EXPECT_EQ(Cpu.PC, 0x999A);
}

TEST(CpuTiming, AFetchedEightyIsStoredAsEightyTwo) {
  StartProgram(0x1000, {0x80, 0x00});
  CpuExecute();
  EXPECT_EQ(Cpu.Opcode, 0x82);
  EXPECT_EQ(Cpu.Cycle, 1);
  CpuExecute();
  EXPECT_EQ(Cpu.Opcode, ServiceMarker);
  EXPECT_EQ(Cpu.PC, 0x1002);
}

}  // namespace
}  // namespace quillon
