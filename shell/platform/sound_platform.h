// What the sound needs from the platform: somewhere to send the mixed samples. Every sound tick
// hands its block to the sink, silence included, so a device is fed at a steady rate and never
// runs dry into repeating what it had last. A backend fills the operations it supports; empty
// ones mean no sound output, and the machine runs silently.
//   GTK: PulseAudio's simple API on a thread of its own (backends/pulse).
//   Headless: a WAV file when one is asked for (backends/headless).
//   Windows: waveOut with a few queued buffers fills the same three operations.
#pragma once

#include <cstdint>

namespace quillon {

struct SoundPlatformOps {
  // Opens the output for 16-bit mono samples at `sampleRate`. False when there is none to be
  // had; the machine then runs silently. Must not wait for a device or a server.
  bool (*OpenSoundOutput)(std::uint32_t sampleRate);
  // Takes one tick of samples (copied before it returns). Called on the thread that ticks the
  // sound; must never block it: an output that cannot keep up drops blocks.
  void (*WriteSoundSamples)(const std::int16_t* samples, std::int32_t count);
  // Closes the output; no write follows.
  void (*CloseSoundOutput)();
};

// Filled by the backend before the machine starts.
extern SoundPlatformOps SoundPlatform;

}  // namespace quillon
