// The monitor's checkpoints: one kind of object for breakpoints (on opcode fetches),
// watchpoints (on the processor's data reads and writes) and tracepoints (which only count),
// over address ranges, each enabled or not, temporary or not, with a hit count, an ignore
// count and an optional condition on the registers. The list changes between runs only; while
// the machine runs, the hits are found through the machine's fetch observer and memory watch,
// which watch exactly what the enabled checkpoints cover and nothing while there are none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/expression.h"

namespace quillon {

// Whoever gave the monitor a command: the text monitor, or the remote protocol's client, whose
// checkpoints go when it leaves.
enum class MonitorClient : std::uint8_t { Text, Remote };

// What a checkpoint watches, numbered as the remote protocol numbers them; any combination.
inline constexpr std::uint8_t CheckLoad = 1;   // the processor's data reads
inline constexpr std::uint8_t CheckStore = 2;  // its data writes
inline constexpr std::uint8_t CheckExec = 4;   // its opcode fetches

struct Checkpoint {
  std::uint32_t Number;
  std::uint16_t Start;
  std::uint16_t End;  // inclusive
  std::uint8_t Operations;
  bool Stop;  // a hit stops the machine; otherwise it is only counted
  bool Enabled;
  bool Temporary;  // deleted once it has stopped the machine
  std::uint32_t HitCount;
  std::uint32_t IgnoreCount;  // hits still to pass without stopping
  bool HasCondition;
  Condition Test;
  std::string ConditionText;
  MonitorClient Owner;
  bool CurrentlyHit;  // the machine stands stopped by it
};

// Adds a checkpoint with the next number: numbers start at 1 and are never used twice.
Checkpoint& AddCheckpoint(std::uint16_t start, std::uint16_t end, std::uint8_t operations,
                          bool stop, bool enabled, bool temporary, MonitorClient owner);
Checkpoint* FindCheckpoint(std::uint32_t number);
bool DeleteCheckpoint(std::uint32_t number);
// Every checkpoint of `owner`.
void DeleteCheckpointsOf(MonitorClient owner);
// Deletes every checkpoint; the next is numbered 1 again (the monitor of a run ends).
void ForgetCheckpoints();
// In the order they were made.
const std::vector<Checkpoint>& CheckpointList();
// A change made through FindCheckpoint (enabled, condition) takes effect.
void CheckpointsChanged();

// What the machine must watch for the checkpoints: whether any enabled one watches fetches, and
// the pages their loads and stores fall in (null when none does).
bool ExecutionWatched();
const std::uint8_t* WatchedPages();

// The checkpoints that stopped the machine, by number.
inline constexpr int MaxStopHits = 8;
struct CheckpointHits {
  std::uint32_t Numbers[MaxStopHits];
  int Count;
};

// The opcode fetch at `registers.PC`: counts the hits of the execution checkpoints whose
// conditions hold and notes those that stop the machine. True when one does.
bool CheckFetch(const CpuRegisterFile& registers, CheckpointHits& stops);
// A data access: counts the hits of the checkpoints without a condition and notes those that
// stop; a checkpoint with a condition waits for CheckAccessConditions. True when the machine
// must stop after the instruction, for either.
bool CheckAccess(std::uint16_t address, bool store, CheckpointHits& stops);
// The checkpoints in `hits` are what the machine stands stopped by (CurrentlyHit), and no
// other; after the stop is reported, the temporary ones among them go.
void MarkCurrentHits(const CheckpointHits& hits);
void DeleteTemporaryHits(const CheckpointHits& hits);
// After the instruction that made the accesses: the conditions of the checkpoints they touched,
// on the registers now. True when one stops the machine.
bool CheckAccessConditions(const CpuRegisterFile& registers, CheckpointHits& stops);

}  // namespace quillon
