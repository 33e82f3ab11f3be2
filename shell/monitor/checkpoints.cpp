#include "monitor/checkpoints.h"

#include <algorithm>

#include "monitor/monitor.h"

namespace quillon {
namespace {

// Accesses of one instruction that wait for their conditions; an instruction makes at most
// seven accesses, BRK's three pushes and vector among the most.
constexpr int MaxWaiting = 16;

struct CheckpointState {
  std::vector<Checkpoint> List;
  std::uint32_t LastNumber = 0;
  // A bit per address that an enabled execution checkpoint covers.
  std::uint8_t ExecutionMap[65536 / 8] = {};
  bool AnyExecution = false;
  std::uint8_t Pages[256] = {};
  bool AnyAccess = false;
  std::uint32_t Waiting[MaxWaiting] = {};
  int WaitingCount = 0;
};
CheckpointState State;

void NoteStop(CheckpointHits& stops, std::uint32_t number) {
  for (int i = 0; i < stops.Count; ++i) {
    if (stops.Numbers[i] == number) return;
  }
  if (stops.Count < MaxStopHits) stops.Numbers[stops.Count++] = number;
}

// A hit that counts: true when it stops the machine.
bool Hit(Checkpoint& checkpoint) {
  ++checkpoint.HitCount;
  if (checkpoint.IgnoreCount > 0) {
    --checkpoint.IgnoreCount;
    return false;
  }
  return checkpoint.Stop;
}

void BuildMaps() {
  std::fill(std::begin(State.ExecutionMap), std::end(State.ExecutionMap), 0);
  std::fill(std::begin(State.Pages), std::end(State.Pages), 0);
  State.AnyExecution = State.AnyAccess = false;
  for (const Checkpoint& c : State.List) {
    if (!c.Enabled) continue;
    for (unsigned address = c.Start; address <= c.End; ++address) {
      if (c.Operations & CheckExec) {
        State.ExecutionMap[address >> 3] |= static_cast<std::uint8_t>(1u << (address & 7));
        State.AnyExecution = true;
      }
      const std::uint8_t access = c.Operations & (CheckLoad | CheckStore);
      State.Pages[address >> 8] |= access;
      State.AnyAccess = State.AnyAccess || access != 0;
    }
  }
  State.WaitingCount = 0;
}

}  // namespace

Checkpoint& AddCheckpoint(std::uint16_t start, std::uint16_t end, std::uint8_t operations,
                          bool stop, bool enabled, bool temporary, MonitorClient owner) {
  Checkpoint checkpoint{};
  checkpoint.Number = ++State.LastNumber;
  checkpoint.Start = start;
  checkpoint.End = end;
  checkpoint.Operations = operations;
  checkpoint.Stop = stop;
  checkpoint.Enabled = enabled;
  checkpoint.Temporary = temporary;
  checkpoint.Owner = owner;
  State.List.push_back(checkpoint);
  CheckpointsChanged();
  return State.List.back();
}

Checkpoint* FindCheckpoint(std::uint32_t number) {
  for (Checkpoint& c : State.List) {
    if (c.Number == number) return &c;
  }
  return nullptr;
}

bool DeleteCheckpoint(std::uint32_t number) {
  const auto removed =
      std::erase_if(State.List, [number](const Checkpoint& c) { return c.Number == number; });
  CheckpointsChanged();
  return removed > 0;
}

void DeleteCheckpointsOf(MonitorClient owner) {
  std::erase_if(State.List, [owner](const Checkpoint& c) { return c.Owner == owner; });
  CheckpointsChanged();
}

void ForgetCheckpoints() {
  State.List.clear();
  State.LastNumber = 0;
  CheckpointsChanged();
}

const std::vector<Checkpoint>& CheckpointList() { return State.List; }

void CheckpointsChanged() {
  BuildMaps();
  HookMonitorToMachine();
}

bool ExecutionWatched() { return State.AnyExecution; }

const std::uint8_t* WatchedPages() { return State.AnyAccess ? State.Pages : nullptr; }

bool CheckFetch(const CpuRegisterFile& registers, CheckpointHits& stops) {
  const std::uint16_t pc = registers.PC;
  if (!(State.ExecutionMap[pc >> 3] & (1u << (pc & 7)))) return false;
  bool stop = false;
  for (Checkpoint& c : State.List) {
    if (!c.Enabled || !(c.Operations & CheckExec) || pc < c.Start || pc > c.End) continue;
    if (c.HasCondition && !ConditionHolds(c.Test, registers)) continue;
    if (Hit(c)) {
      NoteStop(stops, c.Number);
      stop = true;
    }
  }
  return stop;
}

bool CheckAccess(std::uint16_t address, bool store, CheckpointHits& stops) {
  const std::uint8_t operation = store ? CheckStore : CheckLoad;
  bool stop = false;
  for (Checkpoint& c : State.List) {
    if (!c.Enabled || !(c.Operations & operation) || address < c.Start || address > c.End) continue;
    if (c.HasCondition) {
      const bool known = std::find(State.Waiting, State.Waiting + State.WaitingCount, c.Number) !=
                         State.Waiting + State.WaitingCount;
      if (!known && State.WaitingCount < MaxWaiting) State.Waiting[State.WaitingCount++] = c.Number;
      stop = true;
    } else if (Hit(c)) {
      NoteStop(stops, c.Number);
      stop = true;
    }
  }
  return stop;
}

void MarkCurrentHits(const CheckpointHits& hits) {
  for (Checkpoint& c : State.List) {
    c.CurrentlyHit =
        std::find(hits.Numbers, hits.Numbers + hits.Count, c.Number) != hits.Numbers + hits.Count;
  }
}

void DeleteTemporaryHits(const CheckpointHits& hits) {
  const auto hitAndTemporary = [&hits](const Checkpoint& c) {
    return c.Temporary && std::find(hits.Numbers, hits.Numbers + hits.Count, c.Number) !=
                              hits.Numbers + hits.Count;
  };
  if (std::erase_if(State.List, hitAndTemporary) > 0) CheckpointsChanged();
}

bool CheckAccessConditions(const CpuRegisterFile& registers, CheckpointHits& stops) {
  bool stop = false;
  for (int i = 0; i < State.WaitingCount; ++i) {
    Checkpoint* c = FindCheckpoint(State.Waiting[i]);
    if (c != nullptr && ConditionHolds(c->Test, registers) && Hit(*c)) {
      NoteStop(stops, c->Number);
      stop = true;
    }
  }
  State.WaitingCount = 0;
  return stop;
}

}  // namespace quillon
