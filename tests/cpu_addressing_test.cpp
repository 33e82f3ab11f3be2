#include <gtest/gtest.h>

#include <cstdint>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

TEST(CpuAddressing, IndexedAddressesWrapAndCountPageCrossings) {
  StartProgram(0x1000, {0xBD, 0x10, 0x12, 0xBD, 0xFF, 0x12, 0xB5, 0xFF, 0xBD, 0xFF, 0xFF,
                        0xB6, 0xFF, 0x95, 0xFF});
  MainRam[0x1213] = 0x11;
  MainRam[0x1302] = 0x22;
  Cpu.X = 3;
  EXPECT_EQ(RunInstruction(), 4);  // LDA $1210,X
  EXPECT_EQ(Cpu.A, 0x11);
  EXPECT_EQ(RunInstruction(), 5);  // LDA $12FF,X crosses into $13xx
  EXPECT_EQ(Cpu.A, 0x22);
  Cpu.X = 2;
  Cpu.Y = 2;
  RunInstruction();  // LDA $FF,X stays in page zero: the port value at $0001
  EXPECT_EQ(Cpu.A, 0x37);
  Cpu.A = 0;
  RunInstruction();  // LDA $FFFF,X wraps at 64 KB
  EXPECT_EQ(Cpu.A, 0x37);
  RunInstruction();  // LDX $FF,Y
  EXPECT_EQ(Cpu.X, 0x37);
  Cpu.X = 3;
  Cpu.A = 0x5A;
  RunInstruction();  // STA $FF,X writes $0002, not $0102
  EXPECT_EQ(MainRam[0x0002], 0x5A);
  EXPECT_EQ(MainRam[0x0102], 0x99);
}

TEST(CpuAddressing, PointersInPageZeroAndJumpPointersFollowTheNmosRules) {
  StartProgram(0x1000, {0xA1, 0xFF, 0xB1, 0xFF, 0x6C, 0xFF, 0x12});
  MainRam[0x00FF] = 0x34;  // a pointer at $FF takes its high byte from $0100, not $0000
  MainRam[0x0100] = 0x20;
  MainRam[0x2034] = 0xAB;
  MainRam[0x2035] = 0xCD;
  EXPECT_EQ(RunInstruction(), 6);  // LDA ($FF,X)
  EXPECT_EQ(Cpu.A, 0xAB);
  Cpu.Y = 1;
  EXPECT_EQ(RunInstruction(), 5);  // LDA ($FF),Y
  EXPECT_EQ(Cpu.A, 0xCD);
  MainRam[0x12FF] = 0x00;  // JMP ($12FF) takes the high byte from $1200
  MainRam[0x1200] = 0x40;
  MainRam[0x1300] = 0x50;
  EXPECT_EQ(RunInstruction(), 5);
  EXPECT_EQ(Cpu.PC, 0x4000);
}

TEST(CpuAddressing, TakenBranchesCostThreeCyclesInAnyPage) {
  StartProgram(0x10F0, {0xD0, 0x10});
  EXPECT_EQ(RunInstruction(), 3);
  EXPECT_EQ(Cpu.PC, 0x1102);
  StartProgram(0x1000, {0xF0, 0xF0});
  Cpu.P |= FlagZ;
  EXPECT_EQ(RunInstruction(), 3);
  EXPECT_EQ(Cpu.PC, 0x0FF2);
}

TEST(CpuAddressing, ProgramCounterWrapsAtTheTopOfMemory) {
  StartProgram(0xFFFF, {0xA9});
  MainRam[1] = 0x34;  // RAM everywhere
  RunInstruction();   // LDA # takes its operand from $0000
  EXPECT_EQ(Cpu.A, 0x2F);
  EXPECT_EQ(Cpu.PC, 0x0001);
}

TEST(CpuStack, PushesAndPullsWrapInPageOne) {
  StartProgram(0x1000, {0x20, 0x00, 0x20});
  Cpu.SP = 0x00;
  EXPECT_EQ(RunInstruction(), 6);  // JSR $2000 pushes the address of its last byte
  EXPECT_EQ(MainRam[0x0100], 0x10);
  EXPECT_EQ(MainRam[0x01FF], 0x02);
  EXPECT_EQ(Cpu.SP, 0xFE);
  EXPECT_EQ(Cpu.PC, 0x2000);

  StartProgram(0x1000, {0x60});
  MainRam[0x0100] = 0x33;
  MainRam[0x0101] = 0x12;
  RunInstruction();  // RTS at SP $FF pulls from $0100 and $0101 and adds one
  EXPECT_EQ(Cpu.PC, 0x1234);
  EXPECT_EQ(Cpu.SP, 0x01);
}

TEST(CpuStack, StatusKeepsBitsFiveAndFourThroughPushesAndPulls) {
  StartProgram(0x1000, {0x08, 0x28, 0x40});
  RunInstruction();  // PHP at power-on pushes $30
  EXPECT_EQ(MainRam[0x01FF], 0x30);
  MainRam[0x01FF] = 0x00;
  RunInstruction();  // PLP of $00
  EXPECT_EQ(Cpu.P, 0x30);
  MainRam[0x0100] = 0xC3;
  MainRam[0x0101] = 0x00;
  MainRam[0x0102] = 0x20;
  RunInstruction();  // RTI pulls P, then the address, with no one added
  EXPECT_EQ(Cpu.P, 0xF3);
  EXPECT_EQ(Cpu.PC, 0x2000);
}

TEST(CpuStack, JsrWritesTheStackBeforeReadingItsTarget) {
  // The JSR's operand lies where its own pushes go: the target is what the pushes left there.
  StartProgram(0x01FD, {0x20, 0x00, 0x30});
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x01FF);
}

}  // namespace
}  // namespace quillon
