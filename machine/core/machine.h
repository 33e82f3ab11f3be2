// The machine as a whole: its memory blocks, video standard and counters, power-on and the
// emulation step that interleaves the CPU, the CIAs and the raster-line work.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace quillon {

inline constexpr std::size_t MainRamSize = 65536;
inline constexpr std::size_t ColorRamSize = 1024;
inline constexpr std::size_t PictureBufferSize = 65536;

extern std::uint8_t* MainRam;   // 64 KB, index = CPU address
extern std::uint8_t* ColorRam;  // 1 KB, low nibble used

// Nonzero for PAL, zero for NTSC. Read afresh at every use, so the switch can come any time.
extern std::uint32_t VideoStandard;
inline constexpr std::uint32_t VideoStandardNtsc = 0;
inline constexpr std::uint32_t VideoStandardPal = 1;

inline constexpr int PalLinesPerFrame = 312;
inline constexpr int NtscLinesPerFrame = 262;
inline constexpr std::uint16_t PalLineThreshold = 506;
inline constexpr std::uint16_t NtscLineThreshold = 512;
inline constexpr int StepsPerLine = 64;

struct CycleCounterState {
  std::uint16_t LineClock;  // eighths of a step into the current raster line
  std::int32_t FrameCounter;
  // Steps counted by the emulation thread and published to StepCounter once per raster line,
  // so the hot path never pays for a locked read-modify-write.
  std::int32_t UnpublishedSteps;
  // The step count that the speed reading takes and clears from the timer thread.
  std::atomic<std::int32_t> StepCounter;
  // The number of the step whose CPU call comes next, counted from power-on: the time base of
  // the chips that count lazily and of the fast path's schedule.
  std::uint64_t Clock;
};
extern CycleCounterState CycleCounters;

// Hands StepCounter the steps counted since the last publication.
void PublishStepCount();

// What the shell asks of every raster line's end: that each line count as a frame (slow
// motion, one line per frame of the pacing), and an observer called last, with whether the line
// ended a frame (null for none).
struct RasterLineOptions {
  bool LineFrames;
  void (*Observer)(bool frameEnded);
};
extern RasterLineOptions RasterLineEnd;

// Where EmulatorInit gets its three memory blocks; replaceable so that a failing allocation
// can be exercised.
using MachineBlockAllocator = void* (*)(std::size_t size);
extern MachineBlockAllocator AllocateMachineBlock;

// Allocates the memory blocks (those not yet allocated), loads ROM files, clears the keyboard,
// performs the first hard reset and sets up the sound mixer. Returns 1, or 0 when an
// allocation failed.
std::int32_t EmulatorInit();
// Puts the chips' records back to their values at program start, as before the first
// EmulatorInit: the processor at its reset, the counters at 0, the chips' registers, the debug
// exit and the SID's voices. The video standard, the attached media and what the shell has set
// (the observers, slow motion) stay.
void ClearMachineRecords();
void HardReset();
// One step, one clock cycle of every chip: the reference that the fast path must match.
void RunStep();
void RasterLineStep();

// The fast path: runs the machine until FrameCounter reaches `frame`, with the same effects at
// the same steps as RunStep would give them, and stops where RunStep would (after the step in
// which the frame ended), even in the middle of an instruction.
void RunUntilFrame(std::int32_t frame);

// Asks for the run to end after the instruction in progress, from within it (a write to the
// debug exit port): RunUntilFrame returns at that instruction's end, whatever frame it was
// running to, and returns at once while the request stands. The host takes the request back
// with RunStopRequested = false. Costs nothing per instruction: it moves the fast path's event
// deadline to now, which the processor's loop reads anyway.
extern bool RunStopRequested;
void RequestRunStop();

// Tells the fast path that what comes next has changed (a timer was written, the raster line
// was restarted); it looks again before its next instruction.
void RescheduleEvents();

int LinesPerFrame();

}  // namespace quillon
