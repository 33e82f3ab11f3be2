// A run of the machine without a window, for automation: boot, start a file or type text once
// BASIC waits for input, run a number of frames, and hand back the final picture and screen.
#pragma once

#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"

namespace quillon {

struct HeadlessRunResult {
  // 0, the guest's own status under --debug-exit, ExitUnfinished, or ExitStartFailed and
  // ExitBadInput, which come without a picture.
  std::int32_t ExitCode;
  // What the run has to say on stderr, a line each.
  std::vector<std::string> Messages;
  std::int32_t FramesRun;
  // The final display buffer, top row first, 0x00RRGGBB.
  std::vector<std::uint32_t> Picture;
  std::int32_t PictureWidth;
  std::int32_t PictureHeight;
  // The 25 rows of the text screen that the VIC-II shows, as text.
  std::vector<std::string> ScreenText;
};

// Set (to the signal's number) from a signal handler to end a run early: the run stops at the
// next frame end and finishes as if its frames were done, with exit code 128 + the number.
extern volatile std::sig_atomic_t HeadlessStopSignal;

// Boots the machine on the headless backend (or takes it from a snapshot) and runs it as
// `options` say: with the debug exit port, the trace log, the WAV file and the snapshot
// written at the end. The sound ticks on emulated time, so the same options write the same WAV
// file.
HeadlessRunResult RunHeadless(const CommandLineOptions& options);

}  // namespace quillon
