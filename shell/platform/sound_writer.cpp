#include "platform/sound_writer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace quillon {
namespace {

// One line for the whole run, however many devices fail.
std::atomic<bool> FailureReported{false};

void ReportFailure(const char* what) {
  if (!FailureReported.exchange(true)) std::fprintf(stderr, "quillon: no sound: %s\n", what);
}

void Wake(SoundWriter& writer) {
  writer.Wakeups.fetch_add(1, std::memory_order_release);
  writer.Wakeups.notify_one();
}

void WriterThread(SoundWriter& writer) {
  if (const char* error = writer.Device.Open(writer.SampleRate)) {
    ReportFailure(error);
  } else {
    for (;;) {
      const std::uint32_t seen = writer.Wakeups.load(std::memory_order_acquire);
      if (writer.StopRequested.load(std::memory_order_acquire)) break;
      const std::uint32_t taken = writer.Taken.load(std::memory_order_relaxed);
      if (writer.Put.load(std::memory_order_acquire) == taken) {
        writer.Wakeups.wait(seen, std::memory_order_acquire);
        continue;
      }
      const SoundBlock& block = writer.Blocks[taken % SoundQueueBlocks];
      if (const char* failure = writer.Device.Write(block.Samples, block.Count)) {
        ReportFailure(failure);
        break;
      }
      writer.Taken.store(taken + 1, std::memory_order_release);
    }
    writer.Device.Close();
  }
  writer.Finished.store(true, std::memory_order_release);
}

}  // namespace

bool SoundWriterStart(SoundWriter& writer, const SoundDevice& device, std::uint32_t sampleRate) {
  // A thread left to a stuck device still owns the queue.
  if (writer.Thread.joinable() || (writer.Abandoned && !writer.Finished.load())) return false;
  writer.Abandoned = false;
  writer.Device = device;
  writer.SampleRate = sampleRate;
  writer.Put = 0;
  writer.Taken = 0;
  writer.StopRequested = false;
  writer.Finished = false;
  writer.Dropped = 0;
  writer.Thread = std::thread(WriterThread, std::ref(writer));
  return true;
}

bool SoundWriterPut(SoundWriter& writer, const std::int16_t* samples, std::int32_t count) {
  const std::uint32_t put = writer.Put.load(std::memory_order_relaxed);
  if (writer.Finished.load(std::memory_order_acquire) || count > SoundBlockCapacity ||
      put - writer.Taken.load(std::memory_order_acquire) >= SoundQueueBlocks) {
    writer.Dropped.fetch_add(1, std::memory_order_relaxed);
    return false;
  }
  SoundBlock& block = writer.Blocks[put % SoundQueueBlocks];
  block.Count = count;
  std::copy_n(samples, count, block.Samples);
  writer.Put.store(put + 1, std::memory_order_release);
  Wake(writer);
  return true;
}

void SoundWriterStop(SoundWriter& writer, std::uint32_t maxWaitMilliseconds) {
  if (!writer.Thread.joinable()) return;
  writer.StopRequested.store(true, std::memory_order_release);
  Wake(writer);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMilliseconds);
  while (!writer.Finished.load(std::memory_order_acquire) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (writer.Finished.load(std::memory_order_acquire)) {
    writer.Thread.join();
  } else {
    writer.Thread.detach();
    writer.Abandoned = true;
  }
}

namespace {

// How long the shutdown waits for a device that does not answer.
constexpr std::uint32_t StopWaitMilliseconds = 1000;

SoundWriter OutputWriter;
SoundDevice OutputDevice;

bool OpenOutput(std::uint32_t sampleRate) {
  return SoundWriterStart(OutputWriter, OutputDevice, sampleRate);
}

void WriteOutput(const std::int16_t* samples, std::int32_t count) {
  SoundWriterPut(OutputWriter, samples, count);
}

void CloseOutput() { SoundWriterStop(OutputWriter, StopWaitMilliseconds); }

}  // namespace

bool SoundOutputStopRequested() {
  return OutputWriter.StopRequested.load(std::memory_order_acquire);
}

SoundPlatformOps SoundOutputThroughWriter(const SoundDevice& device) {
  OutputDevice = device;
  return {.OpenSoundOutput = OpenOutput,
          .WriteSoundSamples = WriteOutput,
          .CloseSoundOutput = CloseOutput};
}

}  // namespace quillon
