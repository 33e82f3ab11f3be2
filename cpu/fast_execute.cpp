// The processor's half of the fast path: instructions back to back with the registers kept in
// host registers, each instruction's effects at the step of its main call, and the fields that
// the per-step handlers would have left behind (Opcode, Cycle, LastCycle) set as they would be.
#include <algorithm>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "cpu/opcode_table.h"
#include "cpu/opcode_work.h"
#include "cpu/service.h"

namespace quillon {

// Flattened: every instruction's code in place, so that the registers never leave host registers.
[[gnu::flatten]] void CpuRunUntil(const std::uint64_t& deadline) {
  using namespace cpu_internal;
  // Resets come from the host between runs and restart the raster line, which only the
  // per-step path follows.
  if (Cpu.ResetRequest != 0) return;
  FollowPortChanges();
  CpuRegisters r = Cpu;
  std::uint64_t clock = CycleCounters.Clock;
  std::uint8_t opcode = Cpu.Opcode;
  std::uint8_t cycle = Cpu.Cycle;
  std::uint8_t lastCycle = Cpu.LastCycle;
  // An observer of the fetches is set between runs, never during one.
  const bool observed = FetchObserver != nullptr;
  // The loop may start, and stops, wherever the per-step path would be: at a service step, at
  // an instruction's main call, at a taken branch's second call, or among the idle calls.
  for (;;) {
    if (opcode == ServiceMarker) {
      // The service step and the main call after it both come before the deadline.
      if (clock + 1 >= deadline) break;
      CycleCounters.Clock = clock;
      // Interrupts and traps are rare: they go through the per-step service step, and so does
      // every fetch while an observer watches them.
      if (IrqTaken(r) || Cpu.NmiPending != 0 || IsAddressTrap(r.PC) || observed) [[unlikely]] {
        static_cast<CpuRegisters&>(Cpu) = r;
        ServiceStep();
        FollowPortChanges();
        r = Cpu;
        opcode = Cpu.Opcode;
      } else {
        opcode = FetchOpcode(r);
      }
      ++clock;
      cycle = 1;
    }
    if (cycle == 1) {
      // The main call: the whole instruction.
      if (clock >= deadline) break;
      CycleCounters.Clock = clock;
      const std::uint8_t cycles = ExecuteInstruction(opcode, r);
      ++clock;
      if (cycles == 2) {
        opcode = ServiceMarker;
        continue;
      }
      cycle = 2;
      if (!IsBranch(opcode)) lastCycle = static_cast<std::uint8_t>(cycles - 1);
    }
    if (IsBranch(opcode)) {
      // A taken branch reads its offset in its second call.
      if (clock >= deadline) break;
      CycleCounters.Clock = clock;
      TakeBranch(r);
      ++clock;
      opcode = ServiceMarker;
      continue;
    }
    // The calls from Cycle up to LastCycle only count; the last of them ends the instruction.
    const std::uint64_t idle = lastCycle + 1u - cycle;
    const std::uint64_t passed = std::min(idle, deadline > clock ? deadline - clock : 0);
    clock += passed;
    cycle = static_cast<std::uint8_t>(cycle + passed);
    if (passed < idle) break;
    opcode = ServiceMarker;
  }
  static_cast<CpuRegisters&>(Cpu) = r;
  Cpu.Opcode = opcode;
  Cpu.Cycle = cycle;
  Cpu.LastCycle = lastCycle;
  CycleCounters.Clock = clock;
}

}  // namespace quillon
