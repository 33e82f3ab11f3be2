// A thread of the sound output's own, between the thread that ticks the sound and a device
// that may block. Blocks wait in a short queue: putting one never waits, and a full queue drops
// it, so a slow or stuck device holds up neither the emulation, the window nor the tick. The
// device is opened on the thread too, so a server that is slow to answer holds up nothing
// either. A device that cannot be opened or fails on the way is reported in one line on
// stderr, and the machine runs on silently.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "interface/machine.h"
#include "platform/sound_platform.h"

namespace quillon {

// What a sound device does, each on the writer's thread. Open and Write return null, or a short
// text that says what went wrong.
struct SoundDevice {
  const char* (*Open)(std::uint32_t sampleRate);
  // Plays the samples, waiting while the device has no room for them.
  const char* (*Write)(const std::int16_t* samples, std::int32_t count);
  void (*Close)();
};

// Three blocks of a tick each: one being written, two waiting at most, which bounds the time from
// a tick to the device.
inline constexpr int SoundQueueBlocks = 3;
inline constexpr std::int32_t SoundBlockCapacity = SoundTickMaxSamples;

struct SoundBlock {
  std::int32_t Count;
  std::int16_t Samples[SoundBlockCapacity];
};

struct SoundWriter {
  SoundDevice Device;
  std::uint32_t SampleRate;
  SoundBlock Blocks[SoundQueueBlocks];
  // Blocks put so far (by the ticking thread) and written so far (by the writer's thread).
  std::atomic<std::uint32_t> Put;
  std::atomic<std::uint32_t> Taken;
  // Counted up at every put and at the stop, so that the writer waits on one value.
  std::atomic<std::uint32_t> Wakeups;
  std::atomic<bool> StopRequested;
  // The thread has closed the device (or never opened it) and is ending.
  std::atomic<bool> Finished;
  std::atomic<std::uint32_t> Dropped;
  std::thread Thread;
  // The last thread was left to a device stuck in a write.
  bool Abandoned;
};

// Starts the thread, which opens `device` at `sampleRate`; the writer must be stopped. False
// when its last thread is still stuck in its device.
bool SoundWriterStart(SoundWriter& writer, const SoundDevice& device, std::uint32_t sampleRate);
// Queues a copy of the samples; false when it was dropped (queue full, device gone, or more
// samples than a block holds).
bool SoundWriterPut(SoundWriter& writer, const std::int16_t* samples, std::int32_t count);
// Ends the thread: what is still queued is dropped, the device closed. Waits at most
// `maxWaitMilliseconds` for a device stuck in a write, then leaves the thread to it.
void SoundWriterStop(SoundWriter& writer, std::uint32_t maxWaitMilliseconds);

// The platform's sound output made of a device fed by a writer's thread, as the desktop
// backends have it: the operations for SoundPlatform. One such output exists at a time; its
// shutdown waits a second at most for a device that does not answer.
SoundPlatformOps SoundOutputThroughWriter(const SoundDevice& device);
// Whether that output's writer has been told to stop: a device that waits in a loop of its own
// looks at it and lets its samples go.
bool SoundOutputStopRequested();

}  // namespace quillon
