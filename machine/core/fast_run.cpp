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

// Runs whole instructions up to the event deadline; see CpuRunUntil.
void RunInstructionsUntilEvent() {
  const std::uint64_t start = CycleCounters.Clock;
  CpuRunUntil(EventDeadline);
  const std::uint64_t steps = CycleCounters.Clock - start;
  CycleCounters.LineClock = static_cast<std::uint16_t>(CycleCounters.LineClock + 8 * steps);
  CycleCounters.UnpublishedSteps += static_cast<std::int32_t>(steps);
}

}  // namespace

bool RunStopRequested = false;

void RequestRunStop() {
  RunStopRequested = true;
  EventDeadline = 0;
}

void RescheduleEvents() {
  EventDeadline = RunStopRequested ? 0 : std::min(RasterDeadline, CiaNextEventStep());
}

void RunUntilFrame(std::int32_t frame) {
  CpuForgetLoop();
  ScheduleEvents();
  while (CycleCounters.FrameCounter < frame && !RunStopRequested) {
    RunInstructionsUntilEvent();
    if (RunStopRequested) break;
    RunStep();
    ScheduleEvents();
  }
  // A stop comes after the instruction that asked for it: its remaining calls only count, and
  // pass through the reference step (a raster line may end among them).
  if (RunStopRequested) {
    while (Cpu.Opcode != ServiceMarker) RunStep();
  }
}

}  // namespace quillon
