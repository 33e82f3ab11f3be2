// The host shell's one record: mode flags, window and picture sizes, pacing values and the
// speed reading. Handles of windows, menus, timers and bitmaps belong to the platform backend.
#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

struct HostState {
  // Written by the emulation thread, read by the sound timer's thread.
  std::atomic<std::int32_t> Paused;
  std::atomic<std::int32_t> TraceMode;
  // The monitor holds the machine between two instructions: it stands still as when paused,
  // whatever Paused says.
  std::atomic<std::int32_t> MonitorStopped;
  // Warp: the emulation as fast as the host goes, a picture every fiftieth of a second, and
  // silent.
  std::atomic<std::int32_t> Warp;
  // Settings > Sound: the machine is heard (1) or muted (0).
  std::atomic<std::int32_t> SoundOn;
  std::int32_t ShowBorder;
  std::int32_t FullScreenActive;
  std::uint8_t ShiftHeld;
  // Written by the sound timer's thread, drawn by the emulation thread: a stale value only
  // shows an older number.
  std::atomic<std::int32_t> SpeedPercent;
  std::atomic<std::int32_t> FrameSkip;
  std::int32_t SpeedDivisor;
  // The 32-bit display buffer: its size, and its pixels (null until it is created and again
  // after the border setting changed).
  std::int32_t PictureWidth;
  std::int32_t PictureHeight;
  std::uint32_t* DisplayPixels;
  // The window's client area as the last size message reported it.
  std::int32_t ClientWidth;
  std::int32_t ClientHeight;
  // Pacing: ticks per second of the monotonic counter, and its value at the last catch-up.
  std::int64_t CounterFrequency;
  std::int64_t LastTick;
};
extern HostState Host;

// Whether the emulation stands still: paused, or held by the monitor. Read on any thread.
inline bool EmulationHeld() {
  return Host.Paused.load(std::memory_order_relaxed) != 0 ||
         Host.MonitorStopped.load(std::memory_order_relaxed) != 0;
}

}  // namespace quillon
