#include <gtest/gtest.h>

#include "core/machine.h"
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

  // A JSR whose operand lies where its own pushes go jumps to what the pushes left there.
  StartProgram(0x01FD, {0x20, 0x00, 0x30});
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x01FF);
}

}  // namespace
}  // namespace quillon
