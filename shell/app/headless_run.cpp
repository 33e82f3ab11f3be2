#include "app/headless_run.h"

#include "app/autostart.h"
#include "backends/headless/headless_backend.h"
#include "debug/trace_log.h"
#include "files/message_text.h"
#include "keyboard/key_queue.h"
#include "session/host_state.h"
#include "session/session.h"
#include "snapshot/snapshot.h"
#include "sound/sound_output.h"
#include "window/display.h"
#include "window/main_loop.h"

namespace quillon {

volatile std::sig_atomic_t HeadlessStopSignal = 0;

namespace {

char ScreenCodeText(std::uint8_t code) {
  code &= 0x7F;  // reversed characters read as their plain form
  if (code == 0) return '@';
  if (code <= 26) return static_cast<char>('A' + code - 1);
  if (code == 27) return '[';
  if (code == 29) return ']';
  if (code == 30) return '^';
  if (code >= 32 && code < 64) return static_cast<char>(code);
  return '?';
}

// Whether the run goes on: neither the guest (through the debug exit port) nor a signal has
// ended it.
bool RunGoesOn() { return !CurrentMachine().StopRequested() && HeadlessStopSignal == 0; }

// As fast as the machine goes: messages between frames, one conversion at the end.
std::int32_t RunUnpaced(std::int32_t frames, Autostart& start) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames && RunGoesOn() && DeliverPendingMessages(&exitCode)) {
    CurrentMachine().RunFrames(1);
    ++run;
    FinishPass(1, start);
  }
  return run;
}

// The window's own loop against the real clock.
std::int32_t RunPaced(std::int32_t frames, Autostart& start) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames && RunGoesOn()) {
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

}  // namespace

std::vector<std::string> ScreenRows(std::uint16_t screenAddress) {
  const std::uint8_t* ram = CurrentMachine().Ram();
  std::vector<std::string> rows;
  for (int row = 0; row < 25; ++row) {
    std::string text;
    for (int column = 0; column < 40; ++column) {
      text += ScreenCodeText(ram[(screenAddress + row * 40 + column) & 0xFFFF]);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    rows.push_back(text);
  }
  return rows;
}

namespace {

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

// The run on a machine that has started: what it loads and opens first, the frames, then what
// it writes at the end. A file that cannot be read or written before the run (the WAV file, the
// snapshot to start from, the trace log) stops it before it begins: nothing is lost.
void RunStarted(const CommandLineOptions& options, Autostart& start,
                HeadlessRunResult& result) {
  KeyQueueReset();
  std::string error;
  if (Headless.WavFailed) error = "cannot write " + QuoteForMessage(options.WavPath);
  if (error.empty() && !options.SnapshotLoadPath.empty()) {
    std::unique_ptr<Machine> replacement;
    error = SnapshotLoadFile(options.SnapshotLoadPath, &replacement);
    if (replacement != nullptr) SwitchMachine(std::move(replacement));
  }
  if (error.empty() && !options.TraceLogPath.empty()) error = TraceLogOpen(options.TraceLogPath);
  if (!error.empty()) {
    Fail(result, error);
    return;
  }
  Machine& machine = CurrentMachine();
  machine.EnableDebugExit(options.DebugExit);
  machine.ClearStopRequest();

  result.FramesRun = options.RealTime ? RunPaced(options.Frames, start)
                                      : RunUnpaced(options.Frames, start);
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
  SessionMachineOptions = {.NewCias = options.NewCias};
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
