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
using test::StartProgram;

constexpr std::uint16_t IrqHandler = 0x2000;
constexpr std::uint16_t NmiHandler = 0x3000;

// A program with the KERNAL banked out, so the interrupt vectors at $FFFA and $FFFE come from
// RAM; both handlers are a single RTI.
void StartWithHandlers(std::uint16_t address, std::initializer_list<std::uint8_t> code) {
  StartProgram(address, code);
  MainRam[1] = 0x35;
  MainRam[0xFFFA] = NmiHandler & 0xFF;
  MainRam[0xFFFB] = NmiHandler >> 8;
  MainRam[0xFFFE] = IrqHandler & 0xFF;
  MainRam[0xFFFF] = IrqHandler >> 8;
  MainRam[IrqHandler] = 0x40;
  MainRam[NmiHandler] = 0x40;
}

TEST(CpuInterrupts, IrqEntryPushesTheNextAddressAndStatusWithoutBreakAndFetches) {
  StartWithHandlers(0x1234, {0xEA});
  Cpu.P = 0x30 | FlagD;
  Cpu.SP = 0xF0;
  Cpu.IrqPending = 1;
  CpuExecute();
  EXPECT_EQ(MainRam[0x01F0], 0x12);
  EXPECT_EQ(MainRam[0x01EF], 0x34);
  EXPECT_EQ(MainRam[0x01EE], 0x28);
  EXPECT_EQ(Cpu.SP, 0xED);
  EXPECT_EQ(Cpu.P, 0x30 | FlagD | FlagI) << "I is set and D is left alone";
  EXPECT_EQ(Cpu.PC, IrqHandler);
  EXPECT_EQ(Cpu.Opcode, 0x40) << "the handler's first opcode is fetched in the same call";
  EXPECT_EQ(Cpu.IrqPending, 1);
}

TEST(CpuInterrupts, IrqLineHeldHighIsTakenAgainRightAfterRti) {
  StartWithHandlers(0x1000, {0xEA, 0xEA});
  Cpu.IrqPending = 1;
  RunInstruction();  // entry and the handler's RTI
  EXPECT_EQ(Cpu.PC, 0x1000);
  EXPECT_EQ(Cpu.P & FlagI, 0);
  CpuExecute();
  EXPECT_EQ(Cpu.PC, IrqHandler) << "entered again before the interrupted program goes on";
  RunInstruction();
  Cpu.IrqPending = 0;  // the device drops the line
  RunInstruction();
  EXPECT_EQ(Cpu.PC, 0x1001);
}

TEST(CpuInterrupts, MaskedIrqWaitsWhileAnNmiIsTakenOnce) {
  StartWithHandlers(0x1000, {0xEA, 0xEA});
  Cpu.P |= FlagI;
  Cpu.IrqPending = 1;
  Cpu.NmiPending = 1;
  CpuExecute();
  EXPECT_EQ(Cpu.PC, NmiHandler);
  EXPECT_EQ(Cpu.NmiPending, 0);
  EXPECT_EQ(MainRam[0x01FD], 0x20 | FlagI) << "pushed with B clear";
  RunInstruction();  // RTI
  RunInstruction();  // NOP: no second NMI without a new request
  EXPECT_EQ(Cpu.PC, 0x1001);
  EXPECT_EQ(Cpu.IrqPending, 1);
}

TEST(CpuInterrupts, IrqAndNmiTogetherRunTheNmiHandlerFirst) {
  StartWithHandlers(0x1000, {0xEA});
  Cpu.IrqPending = 1;
  Cpu.NmiPending = 1;
  CpuExecute();
  EXPECT_EQ(Cpu.PC, NmiHandler);
  EXPECT_EQ(Cpu.SP, 0xF9);
  EXPECT_EQ(MainRam[0x01FC], IrqHandler >> 8);
  EXPECT_EQ(MainRam[0x01FA], 0x20 | FlagI);
  RunInstruction();  // the NMI handler's RTI returns into the IRQ handler, I still set
  EXPECT_EQ(Cpu.PC, IrqHandler);
  EXPECT_EQ(Cpu.P & FlagI, FlagI);
}

TEST(CpuInterrupts, BrkPushesItsAddressPlusTwoWithBreakSetUnlikeAnIrq) {
  StartWithHandlers(0x1000, {0x00, 0xFF});
  EXPECT_EQ(RunInstruction(), 7);
  EXPECT_EQ(Cpu.PC, IrqHandler);
  EXPECT_EQ(MainRam[0x01FF], 0x10);
  EXPECT_EQ(MainRam[0x01FE], 0x02);
  EXPECT_EQ(MainRam[0x01FD], 0x30);
  EXPECT_EQ(Cpu.P & FlagI, FlagI);

  StartWithHandlers(0x1000, {0x00, 0xFF});
  Cpu.IrqPending = 1;
  CpuExecute();
  EXPECT_EQ(MainRam[0x01FE], 0x00);
  EXPECT_EQ(MainRam[0x01FD], 0x20);
}

TEST(CpuInterrupts, AreTakenOnlyBetweenInstructions) {
  StartWithHandlers(0x1000, {0x20, 0x00, 0x40});  // JSR $4000, 6 cycles
  for (int i = 0; i < 3; ++i) CpuExecute();
  Cpu.IrqPending = 1;
  for (int i = 0; i < 3; ++i) CpuExecute();
  EXPECT_EQ(Cpu.Opcode, ServiceMarker);
  EXPECT_EQ(Cpu.PC, 0x4000);
  CpuExecute();
  EXPECT_EQ(Cpu.PC, IrqHandler);
  EXPECT_EQ(MainRam[0x01FD], 0x40) << "returns to the JSR's target";

  StartWithHandlers(0x1000, {0x58, 0xEA});  // CLI with the line already high
  Cpu.P |= FlagI;
  Cpu.IrqPending = 1;
  RunInstruction();
  CpuExecute();
  EXPECT_EQ(Cpu.PC, IrqHandler);
  EXPECT_EQ(MainRam[0x01FE], 0x01);
}

TEST(CpuReset, RequestReloadsTheKernalVectorResetsTheMachineAndSilencesTheSid) {
  StartWithHandlers(0x1000, {0xEA});
  Cpu.SP = 0x80;
  Cpu.P = 0xFF;
  Cpu.IrqPending = 1;
  Cpu.NmiPending = 1;
  Cpu.ResetRequest = 1;
  ActiveVoices = AllVoicesMask | 0x8;
  CpuExecute();
  EXPECT_EQ(Cpu.PC, KernalResetVector());
  EXPECT_EQ(Cpu.PC, 0xFCE2);
  EXPECT_EQ(Cpu.SP, 0xFF);
  EXPECT_EQ(Cpu.P, 0x30);
  EXPECT_EQ(Cpu.ResetRequest, 0);
  EXPECT_EQ(Cpu.IrqPending, 0);
  EXPECT_EQ(Cpu.NmiPending, 0);
  EXPECT_EQ(MainRam[1], 0x37) << "the machine is back in its power-on condition";
  EXPECT_EQ(MainRam[0x1000], 0x99);
  EXPECT_EQ(Cpu.Opcode, RomImages.Kernal[0x1CE2]);
  EXPECT_EQ(ActiveVoices.load(), 0x8u) << "only the three voice bits are cleared";
}

TEST(CpuReset, JumpingToTheKernalResetEntrySilencesTheSidAtItsFetch) {
  StartProgram(0x1000, {0x4C, 0xE2, 0xFC});
  ActiveVoices = AllVoicesMask;
  RunInstruction();
  EXPECT_EQ(ActiveVoices.load(), AllVoicesMask) << "the trap looks only at service steps";
  CpuExecute();
  EXPECT_EQ(ActiveVoices.load(), 0u);
}

}  // namespace
}  // namespace quillon
