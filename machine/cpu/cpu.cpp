#include "cpu/cpu.h"

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/opcode_table.h"
#include "cpu/service.h"
#include "cpu/stack.h"

namespace quillon {

constinit CpuState Cpu = CpuPowerOnState;
FetchObserverFunction FetchObserver = nullptr;

namespace cpu_internal {
namespace {

// The disk traps reach the classic machine through its bus and its registers.
class ClassicTrapMachine final : public DiskTrapMachine {
 public:
  std::uint8_t* TrapRam() override { return MainRam; }
  std::uint8_t TrapRead(std::uint16_t address) override { return MemRead(address); }
  void TrapWrite(std::uint16_t address, std::uint8_t value) override { MemWrite(address, value); }
  bool KernalBankedIn() const override { return (MainRam[1] & 0x02) != 0; }
  std::uint16_t TrapProgramCounter() const override { return Cpu.PC; }
  void SetTrapProgramCounter(std::uint16_t address) override { Cpu.PC = address; }
  void TrapPush(std::uint8_t value) override { Push(Cpu, value); }
};

}  // namespace

void ServeClassicDiskTrap() {
  ClassicTrapMachine machine;
  ServeDiskTrap(machine, DiskPath);
}

}  // namespace cpu_internal

// Everything here but the fetch comes from outside the program's own course: each counts as a
// side effect of the bus.
void ServiceStep() {
  if (Cpu.ResetRequest != 0) {
    ++BusSideEffects;
    // The reset vector comes from the KERNAL image itself, not through the bus.
    Cpu.PC = KernalResetVector();
    Cpu.SP = 0xFF;
    Cpu.P = FlagUnused | FlagB;
    HardReset();
    Cpu.ResetRequest = 0;
    Cpu.NmiPending = 0;
    Cpu.IrqPending = 0;
  } else if (cpu_internal::IrqTaken(Cpu)) {
    ++BusSideEffects;
    // The IRQ line is level-triggered: it stays asserted until the device drops it.
    cpu_internal::EnterHandler(Cpu, Cpu.PC, Cpu.P & ~FlagB, cpu_internal::IrqVector);
  }
  cpu_internal::RunAddressTraps();
  if (Cpu.NmiPending != 0) {
    ++BusSideEffects;
    Cpu.NmiPending = 0;
    cpu_internal::EnterHandler(Cpu, Cpu.PC, Cpu.P & ~FlagB, cpu_internal::NmiVector);
  }
  Cpu.Opcode = cpu_internal::FetchOpcode(Cpu);
  Cpu.Cycle = 1;
  if (FetchObserver != nullptr) FetchObserver();
}

bool CpuStepIsValid(const CpuState& cpu) {
  if (cpu.Opcode == ServiceMarker || cpu.Cycle == 1) return true;
  if (IsBranchOpcode(cpu.Opcode)) return cpu.Cycle == 2;
  return cpu.Cycle >= 2 && cpu.Cycle <= cpu.LastCycle && cpu.LastCycle <= 8;
}

void CpuExecute() {
  // Whatever wrote the port since the last cycle (a loader, a test), the bus follows it.
  FollowPortChanges();
  OpcodeTable[Cpu.Opcode]();
}

}  // namespace quillon
