#include "app/headless_run.h"

#include <cstdio>
#include <limits>

#include "app/autostart.h"
#include "backends/headless/headless_backend.h"
#include "debug/screen_text.h"
#include "debug/trace_log.h"
#include "files/message_text.h"
#include "keyboard/key_queue.h"
#include "monitor/monitor.h"
#include "monitor/monitor_console.h"
#include "monitor/remote_server.h"
#include "session/host_state.h"
#include "session/session.h"
#include "snapshot/snapshot.h"
#include "sound/sound_output.h"
#include "window/display.h"
#include "window/main_loop.h"

namespace quillon {

volatile std::sig_atomic_t HeadlessStopSignal = 0;

namespace {

// How long a run whose machine the monitor holds waits for the monitor's input at a time,
// before it looks whether a signal ended it.
constexpr std::uint32_t HeldWaitMilliseconds = 50;

// Whether the run goes on: neither the guest (through the debug exit port) nor a signal has
// ended it.
bool RunGoesOn() { return CurrentMachine().DebugExitStatus() < 0 && HeadlessStopSignal == 0; }

// The monitor's turn between passes. True when it holds the machine: the run then waits a
// moment for its input instead of running.
bool HeldByMonitor() {
  MonitorPoll();
  if (!MonitorHolds()) return false;
  MonitorWaitForInput(HeldWaitMilliseconds);
  return true;
}

// As fast as the machine goes: messages between frames, one conversion at the end. The frames
// counted are those that ended: a stop inside one (the monitor's) leaves it for the next pass.
std::int32_t RunUnpaced(std::int32_t frames, Autostart& start) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames && RunGoesOn() && DeliverPendingMessages(&exitCode)) {
    if (HeldByMonitor()) continue;
    const std::int32_t ended = CurrentMachine().RunFrames(1);
    run += ended;
    FinishPass(ended, start);
  }
  return run;
}

// The window's own loop against the real clock.
std::int32_t RunPaced(std::int32_t frames, Autostart& start) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames && RunGoesOn()) {
    if (MonitorHolds()) {
      if (!DeliverPendingMessages(&exitCode)) break;
      HeldByMonitor();
      continue;
    }
    const std::int32_t passFrames = MainLoopPass(&exitCode);
    if (passFrames < 0) break;
    run += passFrames;
    FinishPass(passFrames, start);
  }
  return run;
}

// The final picture and text screen, into `result`.
void CollectPicture(const CommandLineOptions& options, HeadlessRunResult& result) {
  if (options.Trace) Host.TraceMode = 1;
  if (Host.DisplayPixels == nullptr) CreateDisplayBuffer();
  ConvertFrame(Host.DisplayPixels);
  result.PictureWidth = Host.PictureWidth;
  result.PictureHeight = Host.PictureHeight;
  // The display buffer keeps its rows bottom-up.
  for (std::int32_t y = Host.PictureHeight - 1; y >= 0; --y) {
    const std::uint32_t* row = Host.DisplayPixels + static_cast<std::size_t>(y) * Host.PictureWidth;
    result.Picture.insert(result.Picture.end(), row, row + Host.PictureWidth);
  }
  result.ScreenText = ScreenRows(CurrentMachine().ScreenAddress());
}

// How the run ended, in the exit status and the messages: the guest's own status first, then
// what was left undone.
void JudgeEnd(const CommandLineOptions& options, const Autostart& start,
              HeadlessRunResult& result) {
  const std::int32_t status = CurrentMachine().DebugExitStatus();
  if (status >= 0) {
    result.ExitCode = status;
    return;
  }
  const std::string frames = std::to_string(result.FramesRun) + " frames";
  if (options.DebugExit) {
    result.ExitCode = ExitUnfinished;
    result.Messages.push_back("the program wrote no exit status to $D7FF within " + frames);
  }
  if (!KeyQueueEmpty() || !start.Text.empty()) {
    result.ExitCode = ExitUnfinished;
    result.Messages.push_back("the --type text was not typed whole within " + frames);
  }
}

void Fail(HeadlessRunResult& result, const std::string& message) {
  result.ExitCode = ExitBadInput;
  result.Messages.push_back(message);
}

// Starts the remote monitor as `options` ask and says where it listens; an empty string or
// why it cannot.
std::string StartRemote(const CommandLineOptions& options) {
  if (options.RemoteMonitor.empty()) return "";
  const std::string error = StartRemoteMonitor(options.RemoteMonitor);
  if (!error.empty()) return error;
  std::string host;
  std::uint16_t port = 0;
  SplitMonitorAddress(options.RemoteMonitor, host, port);
  std::fprintf(stderr, "quillon: the remote monitor listens on %s port %u (no authentication)\n",
               host.c_str(), unsigned{RemoteMonitorPort()});
  return "";
}

// The monitor goes with the run: its front ends, their checkpoints, the start it was lent.
void EndMonitor() {
  StopMonitorConsole();
  StopRemoteMonitor();
  MonitorShutDown();
  LendAutostartToMonitor(nullptr);
}

// The run on a machine that has started: what it loads and opens first, the frames, then what
// it writes at the end. A file that cannot be read or written before the run (the WAV file, the
// snapshot to start from, the trace log), like a remote monitor that cannot listen, stops it
// before it begins: nothing is lost. With a monitor and no --frames, the run goes on until the
// monitor ends it.
void RunStarted(const CommandLineOptions& options, Autostart& start,
                HeadlessRunResult& result) {
  KeyQueueReset();
  std::string error;
  if (Headless.WavFailed) error = "cannot write " + QuoteForMessage(options.WavPath);
  if (error.empty()) error = StartRemote(options);
  if (error.empty() && !options.SnapshotLoadPath.empty()) {
    std::unique_ptr<Machine> replacement;
    error = SnapshotLoadFile(options.SnapshotLoadPath, &replacement);
    if (replacement != nullptr) SwitchMachine(std::move(replacement));
  }
  if (error.empty() && !options.TraceLogPath.empty()) error = TraceLogOpen(options.TraceLogPath);
  if (!error.empty()) {
    EndMonitor();
    Fail(result, error);
    return;
  }
  Machine& machine = CurrentMachine();
  machine.EnableDebugExit(options.DebugExit);
  machine.ClearStopRequest();
  LendAutostartToMonitor(&start);
  if (options.TextMonitor) StartMonitorConsole(true);
  const bool monitored = options.TextMonitor || !options.RemoteMonitor.empty();
  const std::int32_t frames =
      monitored && !options.FramesGiven ? std::numeric_limits<std::int32_t>::max() : options.Frames;

  result.FramesRun = options.RealTime ? RunPaced(frames, start) : RunUnpaced(frames, start);
  EndMonitor();
  JudgeEnd(options, start, result);
  machine.EnableDebugExit(false);
  error = TraceLogClose();
  if (error.empty() && !options.SnapshotSavePath.empty()) {
    error = SnapshotSaveFile(options.SnapshotSavePath);
  }
  if (!error.empty()) Fail(result, error);
  CollectPicture(options, result);
}

}  // namespace

HeadlessRunResult RunHeadless(const CommandLineOptions& options) {
  HeadlessRunResult result{};
  UseHeadlessBackend(options.RealTime);
  Headless.WavPath = options.WavPath;
  Host.SoundOn = options.Mute ? 0 : 1;
  SessionMachineOptions = {.NewCias = options.NewCias, .Sid = options.Sid};
  UseModel(options.Model);
  CurrentMachine().SetPal(!options.Ntsc);
  std::string error;
  Autostart start = AttachStartFile(options.File, options.Disk, options.TypedKeys, error);
  if (!error.empty()) {
    Fail(result, error);
    return result;
  }
  SoundClock.Enabled = true;
  if (HostStartUp(nullptr, 0, &result.ExitCode)) {
    RunStarted(options, start, result);
    HostShutDown();
  }
  SoundClock.Enabled = false;
  if (result.ExitCode == 0 && HeadlessStopSignal != 0) result.ExitCode = 128 + HeadlessStopSignal;
  return result;
}

}  // namespace quillon
