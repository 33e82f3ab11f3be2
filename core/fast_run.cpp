// The fast path. Per step, RunStep pays for every chip whether it does anything or not; here a
// whole instruction runs at once and its idle cycles pass in one go. Only three things can
// change what the CPU sees between two of its bus accesses: the raster line's end, a timer
// underflow, and the host between runs. The first two are events with a known step; around
// them the machine runs through RunStep itself, so every effect keeps the step it has there.
#include <algorithm>
#include <cstdint>

#include "cia/cia.h"
#include "core/machine.h"
#include "cpu/cpu.h"
#include "cpu/opcode_table.h"

namespace quillon {
namespace {

// The step in which the next raster line ends, and the first step that must run through
// RunStep: the earlier of that and the first step whose CPU call sees a timer underflow.
// While the fast path runs, neither the line clock nor a reset can move the raster deadline.
std::uint64_t RasterDeadline = 0;
std::uint64_t EventDeadline = 0;

// The step of the next RasterLineStep: the first one after which the line clock has reached
// the standard's threshold.
std::uint64_t NextRasterStep() {
  const int threshold = VideoStandard ? PalLineThreshold : NtscLineThreshold;
  const int eighths = std::max(threshold - CycleCounters.LineClock, 1);
  return CycleCounters.Clock + static_cast<std::uint64_t>((eighths + 7) / 8) - 1;
}

void ScheduleEvents() {
  RasterDeadline = NextRasterStep();
  EventDeadline = std::min(RasterDeadline, CiaNextEventStep());
}

// Branches are the one kind of instruction that touches the bus in its second handler call.
bool IsBranch(std::uint8_t opcode) { return (opcode & 0x1F) == 0x10; }

// Runs whole instructions from a service step on, as long as the service step and the
// instruction's main call both come before the event deadline, then passes the instruction's
// idle calls up to the deadline. Leaves the CPU wherever the deadline falls, possibly in the
// middle of an instruction, which RunStep then carries on.
void RunInstructionsUntilEvent() {
  // A reset restarts the raster line, which only RunStep follows.
  if (Cpu.ResetRequest != 0) return;
  std::uint64_t& clock = CycleCounters.Clock;
  const std::uint64_t start = clock;
  while (Cpu.Opcode == ServiceMarker && clock + 1 < EventDeadline) {
    ServiceStep();
    ++clock;
    const std::uint8_t opcode = Cpu.Opcode;
    OpcodeTable[opcode]();
    ++clock;
    if (Cpu.Opcode == ServiceMarker) continue;
    if (IsBranch(opcode)) {
      // Taken: the offset is read in the next step, which must also come before the deadline.
      if (clock >= EventDeadline) break;
      OpcodeTable[opcode]();
      ++clock;
      continue;
    }
    // The calls from Cycle 2 up to LastCycle only count; the last of them ends the instruction.
    const std::uint64_t idle = Cpu.LastCycle - 1u;
    const std::uint64_t room = EventDeadline > clock ? EventDeadline - clock : 0;
    if (idle <= room) {
      clock += idle;
      Cpu.Cycle = static_cast<std::uint8_t>(Cpu.LastCycle + 1);
      Cpu.Opcode = ServiceMarker;
    } else {
      clock += room;
      Cpu.Cycle = static_cast<std::uint8_t>(Cpu.Cycle + room);
      break;
    }
  }
  const std::uint64_t steps = clock - start;
  CycleCounters.LineClock = static_cast<std::uint16_t>(CycleCounters.LineClock + 8 * steps);
  CycleCounters.UnpublishedSteps += static_cast<std::int32_t>(steps);
}

}  // namespace

void RescheduleEvents() { EventDeadline = std::min(RasterDeadline, CiaNextEventStep()); }

void RunUntilFrame(std::int32_t frame) {
  ScheduleEvents();
  while (CycleCounters.FrameCounter < frame) {
    RunInstructionsUntilEvent();
    RunStep();
    ScheduleEvents();
  }
}

}  // namespace quillon
