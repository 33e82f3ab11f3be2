#include "cpu/cpu.h"

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/opcode_table.h"
#include "cpu/stack.h"
#include "media/disk_drive.h"
#include "media/disk_traps.h"
#include "sid/sid.h"

namespace quillon {

constinit CpuState Cpu = CpuPowerOnState;

namespace {

// The KERNAL's reset entry: whatever way the processor gets there, the SID falls silent.
constexpr std::uint16_t ResetEntryTrap = 0xFCE2;

}  // namespace

std::uint16_t MemReadWord(std::uint16_t address) {
  const std::uint8_t high = MemRead(static_cast<std::uint16_t>(address + 1));
  const std::uint8_t low = MemRead(address);
  return static_cast<std::uint16_t>(low | (high << 8));
}

void ServiceStep() {
  if (Cpu.ResetRequest != 0) {
    // The reset vector comes from the KERNAL image itself, not through the bus.
    Cpu.PC = KernalResetVector();
    Cpu.SP = 0xFF;
    Cpu.P = FlagUnused | FlagB;
    HardReset();
    Cpu.ResetRequest = 0;
    Cpu.NmiPending = 0;
    Cpu.IrqPending = 0;
  } else if (Cpu.IrqPending != 0 && (Cpu.P & FlagI) == 0) {
    // The IRQ line is level-triggered: it stays asserted until the device drops it.
    cpu_internal::EnterHandler(Cpu.PC, Cpu.P & ~FlagB, cpu_internal::IrqVector);
  }
  if (Cpu.PC == ResetEntryTrap) {
    // The mixer's timer thread changes the mask too, so the three bits go in one update.
    ActiveVoices.fetch_and(~AllVoicesMask);
  }
  // Device 8's LOAD and SAVE, while a disk image is attached.
  if (DiskAttached != 0 && IsDiskTrap(Cpu.PC)) ServeDiskTrap();
  if (Cpu.NmiPending != 0) {
    Cpu.NmiPending = 0;
    cpu_internal::EnterHandler(Cpu.PC, Cpu.P & ~FlagB, cpu_internal::NmiVector);
  }
  const std::uint8_t opcode = MemRead(Cpu.PC);
  // A fetched $80, a two-byte NOP, is kept as $82, which does the same: $80 in Opcode always
  // means that the next call is the service step.
  Cpu.Opcode = opcode == ServiceMarker ? 0x82 : opcode;
  Cpu.Cycle = 1;
}

void CpuExecute() { OpcodeTable[Cpu.Opcode](); }

}  // namespace quillon
