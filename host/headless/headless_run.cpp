#include "host/headless/headless_run.h"

#include "core/machine.h"
#include "host/autostart.h"
#include "host/display.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "host/main_loop.h"
#include "host/messages.h"
#include "vic/vic.h"

namespace quillon {
namespace {

// Frames a typed key is held, and then left released before the next one. The KERNAL scans
// the keyboard sixty times a second, so two frames of each see at least one scan.
constexpr int KeyHoldFrames = 2;
constexpr int KeyGapFrames = 2;

// Starts the file and types the text, driven once per emulated frame. Keys go through the
// window procedure as key messages, as a person's typing would.
struct Autostart {
  std::string Program;
  std::vector<TypedKey> Keys;
  std::size_t NextKey = 0;
  int Countdown = 0;
  bool KeyHeld = false;
  bool WaitForBasic = true;

  void PostKey(std::uint32_t message, const TypedKey& key) {
    if (key.Shift && message == MessageKeyDown) HeadlessPostMessage(message, VirtualKeyShift, 0);
    HeadlessPostMessage(message, static_cast<std::uintptr_t>(key.VirtualKey), 0);
    if (key.Shift && message == MessageKeyUp) HeadlessPostMessage(message, VirtualKeyShift, 0);
  }

  void FrameEnded() {
    if (Countdown > 0) {
      --Countdown;
      return;
    }
    if (KeyHeld) {
      const TypedKey& key = Keys[NextKey++];
      PostKey(MessageKeyUp, key);
      KeyHeld = false;
      Countdown = KeyGapFrames - 1;
      // After RETURN, BASIC works on the line before it reads the next one.
      WaitForBasic = key.VirtualKey == VirtualKeyReturn;
      return;
    }
    if (WaitForBasic && !BasicWaitsForInput()) return;
    WaitForBasic = false;
    if (!Program.empty()) {
      StartFile(Program);
      Program.clear();
      // The program runs first; typing goes on when BASIC is back at its prompt.
      WaitForBasic = true;
      return;
    }
    if (NextKey < Keys.size()) {
      PostKey(MessageKeyDown, Keys[NextKey]);
      KeyHeld = true;
      Countdown = KeyHoldFrames - 1;
    }
  }
};

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

// As fast as the machine goes: messages between frames, one conversion at the end.
std::int32_t RunUnpaced(std::int32_t frames, Autostart& autostart) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames && DeliverPendingMessages(&exitCode)) {
    while (CycleCounters.FrameCounter < 1) RunStep();
    CycleCounters.FrameCounter = 0;
    ++run;
    autostart.FrameEnded();
  }
  return run;
}

// The window's own loop against the real clock.
std::int32_t RunPaced(std::int32_t frames, Autostart& autostart) {
  std::int32_t run = 0;
  std::int32_t exitCode = 0;
  while (run < frames) {
    const std::int32_t passFrames = MainLoopPass(&exitCode);
    if (passFrames < 0) break;
    run += passFrames;
    if (passFrames > 0) autostart.FrameEnded();
  }
  return run;
}

}  // namespace

std::vector<std::string> ScreenRows(std::uint16_t screenAddress) {
  std::vector<std::string> rows;
  for (int row = 0; row < 25; ++row) {
    std::string text;
    for (int column = 0; column < 40; ++column) {
      text += ScreenCodeText(MainRam[(screenAddress + row * 40 + column) & 0xFFFF]);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    rows.push_back(text);
  }
  return rows;
}

HeadlessRunResult RunHeadless(const CommandLineOptions& options) {
  HeadlessRunResult result{};
  UseHeadlessBackend(options.RealTime);
  VideoStandard = options.Ntsc ? VideoStandardNtsc : VideoStandardPal;
  Autostart autostart;
  autostart.Keys = options.TypedKeys;
  autostart.Program = AttachStartFile(options.File, options.Disk);
  if (!HostStartUp(nullptr, 0, &result.ExitCode)) return result;

  result.FramesRun = options.RealTime ? RunPaced(options.Frames, autostart)
                                      : RunUnpaced(options.Frames, autostart);

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
  result.ScreenText = ScreenRows(static_cast<std::uint16_t>(Vic.BankBase + Vic.ScreenBase));
  HostShutDown();
  return result;
}

}  // namespace quillon
