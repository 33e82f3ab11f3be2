// The monitor: it holds the machine between two instructions for its front ends (the text
// monitor on a terminal, the remote protocol's client) to look at and change, and lets it run
// again, freely, a number of instructions (stepping over subroutines or into them) or until the
// subroutine under way returns. Everything here runs on the emulation thread, between runs of
// the machine; the front ends' threads only take input and call MonitorWake. A command that
// comes while the machine runs stops it first. While no front end is attached the monitor costs
// nothing; while one is, a main loop pass costs one atomic load until input comes or a
// checkpoint is hit.
#pragma once

#include <cstdint>
#include <string>

#include "interface/machine.h"
#include "monitor/checkpoints.h"

namespace quillon {

// Why the machine stopped.
struct MonitorStop {
  enum class Cause : std::uint8_t { Command, Checkpoint, Step, Jam };
  Cause Why;
  std::uint16_t PC;
  // The checkpoints that stopped it (still listed while the front ends hear of the stop; a
  // temporary one goes right after).
  CheckpointHits Hits;
};

// The views of memory the front ends offer, by name; a bank's id in the remote protocol is its
// place here, and "cpu", the processor's view, comes first: clients ask for bank 0 without
// looking.
struct MonitorBankName {
  const char* Name;
  MemoryBank Bank;
};
inline constexpr MonitorBankName MonitorBanks[] = {{"cpu", MemoryBank::CpuView},
                                                   {"ram", MemoryBank::Ram},
                                                   {"rom", MemoryBank::Rom},
                                                   {"io", MemoryBank::Io}};

// What a front end hears and does.
struct MonitorFrontEnd {
  // The machine stopped, or runs again (after the step or resume the front end itself may have
  // asked for: every front end hears of every stop and resume).
  void (*Stopped)(const MonitorStop& stop);
  void (*Resumed)(std::uint16_t pc);
  // Takes the input that has come in and carries it out.
  void (*Poll)();
};

// A front end comes or goes. Going, its checkpoints go with it and a held machine runs on.
void AttachMonitorFrontEnd(MonitorClient client, const MonitorFrontEnd& frontEnd);
void DetachMonitorFrontEnd(MonitorClient client);
bool MonitorFrontEndAttached(MonitorClient client);

// Whether the monitor holds the machine (Host.MonitorStopped says the same to the shell).
bool MonitorHolds();
// Stops a running machine at the end of the instruction in progress; nothing when held.
void MonitorHold();
// Lets the machine run: freely; `count` instructions (a JSR and what it calls as one with
// `over`), the stop landing before the next; or until an RTS or RTI at the level of the
// subroutine under way has run. A checkpoint that is hit on the way stops it all the same. The
// checkpoints at the address it stands at are passed over once.
void MonitorResume();
void MonitorStep(std::uint32_t count, bool over);
void MonitorRunUntilReturn();

// Resets the machine while it is held: it stands at the reset's first instruction, still held.
void MonitorResetMachine();

// The main loops' call between passes: takes the stop that a checkpoint, a finished step or a
// jammed processor made during the last run, then the front ends' input.
void MonitorPoll();
// From any thread: input has come for a front end. Wakes MonitorWaitForInput and a main loop
// waiting for messages.
void MonitorWake();
// Waits until input comes, at most `milliseconds` (a headless run whose machine is held).
void MonitorWaitForInput(std::uint32_t milliseconds);

// The checkpoints changed, or the machine in use did: the machine in use is told what to watch
// (its fetch observer for the trace log as well).
void HookMonitorToMachine();

// Detaches every front end, forgets every checkpoint and lets the machine go.
void MonitorShutDown();

// What the run around the monitor lends it: starting a file as the command line starts one (a
// program once BASIC waits, typing RUN after it when `run`; a disk image's first program; a
// cartridge). Returns an empty string, or why the file cannot be started. Null while no run
// lends it.
extern std::string (*MonitorStartFile)(const std::string& path, bool run);

}  // namespace quillon
