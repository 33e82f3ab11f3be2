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
namespace {

// A loop the program may be idling in: where a backward branch last went, the registers then,
// the step of that arrival and the bus's side effects so far. Arriving there again with the
// same registers and no side effect in between, the program has gone once round a loop that
// changes nothing; with the same inputs it goes round the same way again, and again, until an
// event changes something. Those rounds are passed in one go.
struct LoopWatch {
  bool Watching;
  std::uint16_t Start;
  std::uint8_t A, X, Y, SP, P;
  std::uint64_t ArrivedAt;
  std::uint32_t SideEffects;
};
LoopWatch Loop = {};

bool SameLoopState(const CpuRegisters& r) {
  return Loop.Watching && Loop.Start == r.PC && Loop.SideEffects == BusSideEffects &&
         Loop.A == r.A && Loop.X == r.X && Loop.Y == r.Y && Loop.SP == r.SP && Loop.P == r.P;
}

// Called where a backward branch arrives, at `clock`, the step of its target's service step.
// Returns the clock after the rounds that can be passed before `deadline`. The interrupt lines
// change only at events, which no passed round reaches, but one may stand raised already: then
// the service step takes it here, and the loop is left.
std::uint64_t PassIdleRounds(const CpuRegisters& r, std::uint64_t clock,
                             std::uint64_t deadline) {
  if (SameLoopState(r) && !cpu_internal::IrqTaken(r) && Cpu.NmiPending == 0) {
    const std::uint64_t round = clock - Loop.ArrivedAt;
    const std::uint64_t rounds = deadline > clock ? (deadline - clock) / round : 0;
    clock += rounds * round;
  } else {
    Loop = {true, r.PC, r.A, r.X, r.Y, r.SP, r.P, clock, BusSideEffects};
  }
  Loop.ArrivedAt = clock;
  return clock;
}

}  // namespace

void CpuForgetLoop() { Loop.Watching = false; }

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
        ++BusSideEffects;
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
      if (!IsBranchOpcode(opcode)) lastCycle = static_cast<std::uint8_t>(cycles - 1);
    }
    if (IsBranchOpcode(opcode)) {
      // A taken branch reads its offset in its second call.
      if (clock >= deadline) break;
      CycleCounters.Clock = clock;
      const std::uint16_t after = r.PC;
      TakeBranch(r);
      ++clock;
      opcode = ServiceMarker;
      if (r.PC < after) clock = PassIdleRounds(r, clock, deadline);
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
