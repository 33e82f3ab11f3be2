#include "monitor/monitor.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "debug/fetch_hooks.h"
#include "platform/platform.h"
#include "session/host_state.h"
#include "session/session.h"

namespace quillon {
namespace {

constexpr std::uint8_t Jsr = 0x20;
constexpr std::uint8_t Rts = 0x60;
constexpr std::uint8_t Rti = 0x40;

enum class Goal : std::uint8_t { None, Steps, UntilReturn };

struct MonitorState {
  MonitorFrontEnd FrontEnds[2] = {};
  bool Attached[2] = {};
  bool Held = false;
  // What the run is for.
  Goal RunGoal = Goal::None;
  std::uint32_t StepsLeft = 0;
  bool StepOver = false;
  // Stepping over a JSR: its subroutine runs until it comes back here with the stack as it
  // was.
  bool InSubroutine = false;
  std::uint16_t ReturnAddress = 0;
  std::uint8_t ReturnStack = 0;
  // Running until a return: the stack pointer of the subroutine's level.
  std::uint8_t ReturnLevel = 0;
  // The address whose next fetch passes the checkpoints there (the one the machine stood at
  // when it was let go); -1 for none.
  std::int32_t PassOver = -1;
  // Found during a run: the checkpoints that stop the machine, and a finished step.
  CheckpointHits Hits = {};
  bool StepDone = false;
  bool JamReported = false;
  // Input from the front ends' threads.
  std::atomic<bool> InputWaiting{false};
  std::mutex InputLock;
  std::condition_variable InputSignal;
};
MonitorState State;

bool AnyAttached() { return State.Attached[0] || State.Attached[1]; }

bool OnFetch() {
  Machine& machine = CurrentMachine();
  const CpuRegisterFile r = machine.Registers();
  const bool passOver = State.PassOver == r.PC;
  State.PassOver = -1;
  bool returns = false;
  switch (State.RunGoal) {
    case Goal::Steps:
      if (State.InSubroutine) {
        if (r.PC != State.ReturnAddress || r.SP < State.ReturnStack) break;
        State.InSubroutine = false;
      }
      if (State.StepsLeft == 0) {
        State.StepDone = true;
        machine.StopBeforeInstruction();
        return false;
      }
      --State.StepsLeft;
      if (State.StepOver && machine.Peek(r.PC) == Jsr) {
        State.InSubroutine = true;
        State.ReturnAddress = static_cast<std::uint16_t>(r.PC + 3);
        State.ReturnStack = r.SP;
      }
      break;
    case Goal::UntilReturn: {
      const std::uint8_t opcode = machine.Peek(r.PC);
      returns = (opcode == Rts || opcode == Rti) && r.SP >= State.ReturnLevel;
      break;
    }
    case Goal::None:
      break;
  }
  if (!passOver && CheckFetch(r, State.Hits)) {
    machine.StopBeforeInstruction();
    return false;
  }
  if (returns) {
    // The stop comes after the return has run.
    State.StepDone = true;
    machine.RequestStop();
  }
  return true;
}

void OnAccess(std::uint16_t address, std::uint8_t, bool store) {
  if (CheckAccess(address, store, State.Hits)) CurrentMachine().RequestStop();
}

void InstallObservers() {
  const bool attached = AnyAttached();
  const bool fetches = attached && (ExecutionWatched() || State.RunGoal != Goal::None);
  SetFetchHook(FetchHookSlot::Monitor, fetches ? OnFetch : nullptr);
  const std::uint8_t* pages = attached ? WatchedPages() : nullptr;
  CurrentMachine().SetMemoryWatch(pages, pages != nullptr ? OnAccess : nullptr);
}

// A stop request of the machine that is the monitor's (the debug exit's stays for its run):
// taken back, with the conditions of the accesses it was made for checked.
void TakeStopRequest() {
  Machine& machine = CurrentMachine();
  if (!machine.StopRequested() || machine.DebugExitStatus() >= 0) return;
  machine.ClearStopRequest();
  CheckAccessConditions(machine.Registers(), State.Hits);
}

void Hold(MonitorStop::Cause cause) {
  Machine& machine = CurrentMachine();
  machine.FinishInstruction();
  TakeStopRequest();
  if (State.Hits.Count > 0) cause = MonitorStop::Cause::Checkpoint;
  State.Held = true;
  Host.MonitorStopped = 1;
  State.RunGoal = Goal::None;
  State.InSubroutine = false;
  State.StepDone = false;
  const MonitorStop stop = {cause, machine.Registers().PC, State.Hits};
  State.Hits = {};
  MarkCurrentHits(stop.Hits);
  InstallObservers();
  for (int client = 0; client < 2; ++client) {
    if (State.Attached[client]) State.FrontEnds[client].Stopped(stop);
  }
  DeleteTemporaryHits(stop.Hits);
}

void LetGo() {
  Machine& machine = CurrentMachine();
  State.Held = false;
  Host.MonitorStopped = 0;
  MarkCurrentHits({});
  const std::uint16_t pc = machine.Registers().PC;
  State.PassOver = pc;
  InstallObservers();
  for (int client = 0; client < 2; ++client) {
    if (State.Attached[client]) State.FrontEnds[client].Resumed(pc);
  }
}

}  // namespace

std::string (*MonitorStartFile)(const std::string& path, bool run) = nullptr;

void AttachMonitorFrontEnd(MonitorClient client, const MonitorFrontEnd& frontEnd) {
  State.FrontEnds[static_cast<int>(client)] = frontEnd;
  State.Attached[static_cast<int>(client)] = true;
  InstallObservers();
}

void DetachMonitorFrontEnd(MonitorClient client) {
  if (!State.Attached[static_cast<int>(client)]) return;
  State.Attached[static_cast<int>(client)] = false;
  DeleteCheckpointsOf(client);
  if (State.Held) LetGo();
  InstallObservers();
}

bool MonitorFrontEndAttached(MonitorClient client) {
  return State.Attached[static_cast<int>(client)];
}

bool MonitorHolds() { return State.Held; }

void MonitorHold() {
  if (!State.Held) Hold(MonitorStop::Cause::Command);
}

void MonitorResume() {
  State.RunGoal = Goal::None;
  LetGo();
}

void MonitorStep(std::uint32_t count, bool over) {
  State.RunGoal = Goal::Steps;
  State.StepsLeft = count;
  State.StepOver = over;
  State.InSubroutine = false;
  LetGo();
}

void MonitorRunUntilReturn() {
  State.RunGoal = Goal::UntilReturn;
  State.ReturnLevel = CurrentMachine().Registers().SP;
  LetGo();
}

void MonitorResetMachine() {
  Machine& machine = CurrentMachine();
  machine.RequestReset();
  // A step of no instruction: the reset, and the stop before the first fetch after it.
  State.RunGoal = Goal::Steps;
  State.StepsLeft = 0;
  State.InSubroutine = false;
  State.PassOver = -1;
  InstallObservers();
  machine.StepInstruction();
  TakeStopRequest();
  State.StepDone = false;
  State.RunGoal = Goal::None;
  InstallObservers();
}

void MonitorPoll() {
  if (!AnyAttached()) return;
  Machine& machine = CurrentMachine();
  if (!State.Held) {
    if (machine.StopRequested() && machine.DebugExitStatus() < 0) {
      TakeStopRequest();
      if (State.Hits.Count > 0) {
        Hold(MonitorStop::Cause::Checkpoint);
      } else if (State.StepDone) {
        Hold(MonitorStop::Cause::Step);
      }
    } else if (machine.Jammed()) {
      if (!State.JamReported) {
        State.JamReported = true;
        Hold(MonitorStop::Cause::Jam);
      }
    } else {
      State.JamReported = false;
    }
  }
  if (!State.InputWaiting.exchange(false, std::memory_order_acquire)) return;
  for (int client = 0; client < 2; ++client) {
    if (State.Attached[client]) State.FrontEnds[client].Poll();
  }
}

void MonitorWake() {
  {
    const std::lock_guard lock(State.InputLock);
    State.InputWaiting.store(true, std::memory_order_release);
  }
  State.InputSignal.notify_all();
  if (Platform.WakeMainLoop != nullptr) Platform.WakeMainLoop();
}

void MonitorWaitForInput(std::uint32_t milliseconds) {
  std::unique_lock lock(State.InputLock);
  State.InputSignal.wait_for(lock, std::chrono::milliseconds(milliseconds),
                             [] { return State.InputWaiting.load(std::memory_order_acquire); });
}

void HookMonitorToMachine() { InstallObservers(); }

void MonitorShutDown() {
  State.Attached[0] = State.Attached[1] = false;
  ForgetCheckpoints();
  State.Held = false;
  State.RunGoal = Goal::None;
  State.Hits = {};
  State.StepDone = false;
  State.PassOver = -1;
  Host.MonitorStopped = 0;
  TakeStopRequest();
  InstallObservers();
}

}  // namespace quillon
