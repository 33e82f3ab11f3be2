// The headless backend: a main window that exists only as a record, an event queue that tests
// and the command line post to, a monotonic counter that either follows real time or stands
// still until advanced by hand, a periodic timer on its own thread, presentation into memory,
// and sound into a WAV file when one is asked for.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/backend_pieces.h"
#include "platform/periodic_timer.h"
#include "platform/platform.h"
#include "files/wav_writer.h"

namespace quillon {

// Counts per second of the hand-driven counter: one count per microsecond.
inline constexpr std::int64_t HeadlessManualFrequency = 1000000;

struct HeadlessState {
  // Events waiting for the main loop; guarded by QueueLock, QueueSignal wakes a waiting loop.
  std::mutex QueueLock;
  std::condition_variable QueueSignal;
  std::deque<WindowMessage> Queue;
  bool RepaintPending;

  // The counter: real time (steady clock) or hand-driven (ManualCounter, ManualFrequency).
  bool RealTime;
  std::atomic<std::int64_t> ManualCounter;
  std::int64_t ManualFrequency;

  // The periodic timer.
  PeriodicTimer Timer;
  // Called right after the timer thread has ended, for checks of what still existed then.
  std::function<void()> TimerStopped;

  // What the shell asked of the window, for tests and the command line to read back.
  bool FailClassRegistration;
  bool FailWindowCreation;
  bool WindowExists;
  std::string WindowTitle;
  std::int32_t WindowWidth;
  std::int32_t WindowHeight;
  // Maximised: the window covers the desktop, and its outer size when it is restored.
  bool Maximized;
  std::int32_t NormalWidth;
  std::int32_t NormalHeight;
  std::int32_t ShowCommand;
  bool PainterOpen;
  std::int32_t RepaintRequests;
  std::int32_t Paints;
  std::int32_t Sleeps;
  std::uint32_t SleptMilliseconds;
  std::int32_t Waits;
  std::int32_t DefaultProcCalls;
  std::int32_t AboutDialogs;
  std::vector<std::string> MessageBoxes;   // "caption: text"
  std::vector<std::string> MenuChanges;    // "text=1" or "text=0", in order
  std::vector<std::string> Operations;     // names of the lifecycle operations, in order
  // The file that the next open-file dialog picks; empty cancels it. The last filter shown.
  std::string ChosenFile;
  std::string LastFilter;
  std::string LastOfferedName;
  // Files dropped on the window and not yet taken.
  DroppedFileQueue DroppedFiles;

  // The last picture painted into the window, rows bottom-up as given.
  std::vector<std::uint32_t> PaintedPixels;
  std::int32_t PaintedWidth;
  std::int32_t PaintedHeight;
  // Full screen: whether it can be had, whether it is held, the last indexed picture shown.
  bool FullScreenAvailable;
  bool FullScreenHeld;
  std::int32_t FullScreenPresents;
  std::vector<std::uint8_t> PresentedSurface;
  std::int32_t CursorHidden;
  // The clipboard's text (empty: the clipboard holds none), and what the shell asked of the
  // screen saver, in order (true: held off).
  std::string ClipboardText;
  std::vector<bool> ScreenSaverHolds;

  // Sound: the WAV file that the sound output records into when a path is set before the
  // machine starts; WavFailed when it could not be created or written whole.
  std::string WavPath;
  WavWriter Wav;
  bool WavFailed;
};
extern HeadlessState Headless;

// Makes the headless backend the platform: resets its record, fills Platform, DisplayPlatform
// and SoundPlatform. With `realTime` the counter follows the steady clock and Sleep sleeps;
// otherwise the counter stands still until HeadlessAdvanceCounter and Sleep only counts.
void UseHeadlessBackend(bool realTime);

// Advances the hand-driven counter.
void HeadlessAdvanceCounter(std::int64_t counts);

// Posts a message to the queue, from any thread, and wakes a waiting main loop.
void HeadlessPostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);

// Drops `path` on the window: the file waits for TakeDroppedFile and MessageDropFiles is posted.
void HeadlessDropFile(const std::string& path);

}  // namespace quillon
