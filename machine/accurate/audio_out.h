// The SID's AUDIO OUT on its way to the thread that ticks the sound.
//
// The C64 couples the chip's output into its output stage through a capacitor: a first-order
// high-pass near 16 Hz. It takes away the DC on which the 6581's output rides, so that what is
// heard (and recorded) is centred on 0, and lets through the steps that writes to the volume
// register make in that DC, which is how samples played through $D418 are heard.
//
// Threads. The emulation's thread clocks the chip (Collect: at the end of every frame, and
// before a tick that comes on that thread) and puts its samples, through the capacitor, into a
// SampleQueue; the thread that ticks the sound takes them out (Tick, Tail). The queue is all
// the two share.
//
// Recorded and live. Recorded (headless runs), the ticks come on the emulation's thread, the
// owner collects up to the present before each, and a tick hands over everything the chip has
// made since the last, at the chip's own clock: the recording is the chip's output sample for
// sample, so that a file holds true pitches and times and the same run writes the same file.
// Live (the window), the ticks come every 50 ms of real time while the emulation runs
// LiveFramesPerSecond frames a second, which is 0.25% slower than a PAL machine's own clock
// and 16% slower than an NTSC one's. The chip is then told the clock the window runs it at,
// so that its samples come exactly as fast as the device plays them, 882 a frame: the whole
// machine, its sound included, runs at the window's pace. A tick hands over what has come, two
// or three frames' worth as frames and ticks fall; more than a tick and two frames means the
// emulation caught up after a stall, and only the newest tick's worth goes, so that the delay
// to the device stays as it was. A tick with nothing (a stall, single steps) or after the queue
// overflowed (warp outruns the ticks) is silence, and what waited is let go: nothing piles up
// to be heard late.
#pragma once

#include <cstdint>
#include <span>

#include "accurate/sample_queue.h"
#include "accurate/sid.h"
#include "interface/machine.h"
#include "interface/snapshot_stream.h"

namespace quillon::accurate {

class AudioOut {
 public:
  // A tick, a twentieth of a second, and a frame of the window's pace, in samples.
  static constexpr std::size_t TickSamples = SidSampleRate / 20;
  static constexpr std::size_t FrameSamples = SidSampleRate / LiveFramesPerSecond;

  explicit AudioOut(Sid& chip) : Chip(chip) {}
  AudioOut(const AudioOut&) = delete;
  AudioOut& operator=(const AudioOut&) = delete;

  // --- The emulation's thread ---
  // The capacitor discharged, as at power-on.
  void PowerOn();
  // Live or recorded (recorded at first); the chip's clock follows at the next FollowStandard.
  void SetLive(bool live) { IsLive = live; }
  bool Live() const { return IsLive; }
  // The chip's clock for a video standard: its own, or the window's pace.
  double ClockFor(bool pal) const;
  // Sets it for the standard in force.
  void FollowStandard(bool pal);
  // Clocks the chip up to the end of `cycle` and queues what it made.
  void Collect(std::uint64_t cycle);

  // --- The thread that ticks the sound ---
  // One tick's samples; silence when not `mix` (paused), and then nothing is taken.
  std::span<std::int16_t> Tick(bool mix);
  // Everything still queued, at the end of a recording.
  std::span<std::int16_t> Tail();

  // The capacitor's charge; the queue is sound on its way out, not the machine's state.
  void Save(SnapshotWriter& out) const;
  bool Load(SnapshotReader& in);

 private:
  struct Coupling {
    std::int16_t Input;  // the last sample in, and what came out for it
    float Output;
  };

  template <class Stream, class S>
  static void Fields(Stream& stream, S& coupling);
  void Couple(std::int16_t* samples, std::size_t count);
  std::span<std::int16_t> Silence();
  std::span<std::int16_t> TakeAll();

  Sid& Chip;
  bool IsLive = false;
  Coupling Capacitor{};
  SampleQueue Queue;
  std::int16_t Handed[SampleQueue::Capacity];
};

}  // namespace quillon::accurate
