#include <gtest/gtest.h>

#include <cstdint>

#include "core/machine.h"
#include "core/rom_images.h"
#include "cpu/cpu.h"
#include "sid/sid.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;

// A program with the KERNAL banked out, so the vectors come from RAM: the IRQ handler at $2000
// and the NMI handler at $3000 are each a single RTI.
void StartWithHandlers(std::uint16_t address, std::initializer_list<std::uint8_t> code) {
  test::StartProgram(address, code);
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

  test::StartProgram(0x1000, {0x4C, 0xE2, 0xFC});  // JMP $FCE2, as SYS 64738 does
  ActiveVoices = AllVoicesMask;
  RunInstruction();
  EXPECT_EQ(ActiveVoices.load(), AllVoicesMask);
  CpuExecute();
  EXPECT_EQ(ActiveVoices.load(), 0u);
}

}  // namespace
}  // namespace quillon
