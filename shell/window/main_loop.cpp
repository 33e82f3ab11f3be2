#include "window/main_loop.h"

#include <algorithm>
#include <chrono>

#include "debug/status_line.h"
#include "keyboard/host_keys.h"
#include "keyboard/key_queue.h"
#include "monitor/monitor.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "resources/menu.h"
#include "session/host_state.h"
#include "session/session.h"
#include "sound/sound_output.h"
#include "window/display.h"
#include "window/window_proc.h"

namespace quillon {
namespace {

std::int64_t SteadyClockCounter() {
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

std::int64_t PlatformCounter() { return Platform.ReadCounter(); }

// Where the pacing reads the time: the platform's counter, or the steady clock in its stead.
std::int64_t (*ReadPacingCounter)() = PlatformCounter;

// Whether the window's sound timer runs, started by HostStartUp.
bool SoundTimerRunning = false;

void OnSoundTimer() { SoundTimerTick(); }

// The end of every raster line: the status line drawn at a frame's end while Scroll Lock is
// held, the raster marker after every line while F11 is held, the typing queue, and the sound's
// emulated clock.
void OnRasterLine(bool frameEnded) {
  if (frameEnded && HostKeyDown[VirtualKeyScrollLock]) {
    DrawStatusLine(Host.SpeedPercent.load(std::memory_order_relaxed),
                   Host.FrameSkip.load(std::memory_order_relaxed));
  }
  if (HostKeyDown[VirtualKeyF11]) DrawRasterMarker(CurrentMachine().RasterCompare());
  // Keys change between two keyboard scans, which a frame's end may fall within.
  KeyQueueRasterLine();
  // Headless runs hear the machine on emulated time rather than on the timer thread.
  if (SoundClock.Enabled) SoundClockLine();
}

// Runs as many whole frames as real time asks for, at most five; less than a tick gives the
// processor away for a moment instead. The part of a tick left over counts towards the next
// pass, so that the machine keeps fifty frames a second on average; only a stall of more than
// five ticks is dropped.
std::int32_t PaceEmulation() {
  const std::int64_t now = ReadPacingCounter();
  const std::int64_t tickLength = Host.CounterFrequency / TicksPerSecond;
  const std::int64_t elapsed = (now - Host.LastTick) / tickLength;
  if (elapsed <= 0) {
    Platform.Sleep(IdleSleepMilliseconds);
    return 0;
  }
  // Clamped before narrowing, so that even an endless stall stays a catch-up of five frames.
  const std::int32_t ticks = static_cast<std::int32_t>(std::min<std::int64_t>(elapsed, MaxCatchUpFrames));
  CurrentMachine().RunFrames(ticks);
  Host.LastTick = elapsed > MaxCatchUpFrames ? now : Host.LastTick + ticks * tickLength;
  return ticks;
}

// Warp: frames back to back for a fiftieth of a second of real time, then one picture. The
// pacing starts afresh from now, so that leaving warp has nothing to catch up. A stop (the
// monitor's) ends the frames early.
std::int32_t RunWarp() {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::microseconds(1000000 / TicksPerSecond);
  Machine& machine = CurrentMachine();
  std::int32_t frames = 0;
  do {
    frames += machine.RunFrames(1);
  } while (Clock::now() < end && !machine.StopRequested());
  Host.LastTick = ReadPacingCounter();
  return frames;
}

// What the shell hears from the machine in use: the end of every raster line, the fetches and
// accesses the trace log and the monitor watch, the held keys, the sound.
void HookMachine() {
  CurrentMachine().SetLineObserver(OnRasterLine);
  HookMonitorToMachine();
  FollowHostKeys();
  if (Host.FullScreenActive) CreateFlipChain();
  SoundStart();
}

}  // namespace

void StartPacing() {
  Host.CounterFrequency = Platform.CounterFrequency();
  ReadPacingCounter = PlatformCounter;
  if (Host.CounterFrequency < TicksPerSecond) {
    using Period = std::chrono::steady_clock::period;
    Host.CounterFrequency = Period::den / Period::num;
    ReadPacingCounter = SteadyClockCounter;
  }
  Host.LastTick = ReadPacingCounter();
}

bool StartMachine() {
  if (!CurrentMachine().PowerOn()) return false;
  HookMachine();
  return true;
}

void SwitchMachine(std::unique_ptr<Machine> machine) {
  if (SoundTimerRunning) Platform.StopPeriodicTimer();
  UseMachine(std::move(machine));
  HookMachine();
  if (SoundTimerRunning) Platform.StartPeriodicTimer(SoundTimerPeriodMilliseconds, OnSoundTimer);
}

void SwitchModel(MachineModel model) {
  const Machine& current = CurrentMachine();
  std::unique_ptr<Machine> machine = CreateMachine(model, SessionMachineOptions);
  if (machine == nullptr) return;
  machine->SetPal(current.Pal());
  if (!machine->PowerOn()) return;
  if (!current.DiskPath().empty()) machine->AttachDisk(current.DiskPath());
  SwitchMachine(std::move(machine));
}

bool HostStartUp(void* previousInstance, std::int32_t showCommand, std::int32_t* exitCode) {
  if (!StartMachine()) {
    Platform.ShowMessageBox("Emulator initialization failed!", "Damn!");
    *exitCode = 1;
    return false;
  }
  *exitCode = 0;
  if (previousInstance == nullptr &&
      !Platform.RegisterMainWindowClass(MainWindowClassName, MainWindowProc)) {
    return false;
  }
  Platform.LoadMainMenu(std::span<const MenuResource>(MainMenu));
  if (!Platform.CreateMainWindow(MainWindowClassName, MainWindowTitle, InitialWindowWidth,
                                 InitialWindowHeight)) {
    return false;
  }
  Platform.ShowMainWindow(showCommand);
  Platform.OpenPainter();
  // Headless runs tick the sound on emulated time instead.
  SoundTimerRunning = !SoundClock.Enabled;
  if (SoundTimerRunning) Platform.StartPeriodicTimer(SoundTimerPeriodMilliseconds, OnSoundTimer);
  StartPacing();
  return true;
}

void TraceStep() {
  // The view then shows the instruction that runs next, or an interrupt handler's first.
  CurrentMachine().StepInstruction();
  Host.Paused = 1;
}

bool DeliverPendingMessages(std::int32_t* exitCode) {
  WindowMessage message;
  while (Platform.TakeMessage(&message)) {
    if (message.Message == MessageQuit) {
      *exitCode = static_cast<std::int32_t>(message.WParam);
      return false;
    }
    Platform.DeliverMessage(message);
  }
  return true;
}

std::int32_t MainLoopPass(std::int32_t* exitCode) {
  if (!DeliverPendingMessages(exitCode)) return -1;
  MonitorPoll();
  if (Host.DisplayPixels == nullptr) CreateDisplayBuffer();
  if (EmulationHeld()) {
    Platform.WaitMessage();
    return 0;
  }
  std::int32_t frames = 0;
  if (Host.TraceMode) {
    TraceStep();
  } else if (Host.Warp) {
    frames = RunWarp();
  } else {
    frames = PaceEmulation();
  }
  ConvertFrame(Host.DisplayPixels);
  if (Host.FullScreenActive) {
    PresentFullScreen();
  } else {
    Platform.RequestRepaint();
  }
  return frames;
}

void HostShutDown() {
  Platform.StopPeriodicTimer();
  SoundTimerRunning = false;
  FreeDisplayBuffer();
  Platform.ClosePainter();
  SoundShutdown();
}

}  // namespace quillon
