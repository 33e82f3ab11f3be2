#include "host/sound_output.h"

#include <algorithm>

#include "host/host_state.h"
#include "host/sound_platform.h"
#include "sid/mixer.h"

namespace quillon {

SoundPlatformOps SoundPlatform = {};

namespace {
bool OutputOpen = false;
}  // namespace

bool SoundAudible() {
  return Host.SoundOn.load(std::memory_order_relaxed) &&
         !Host.Paused.load(std::memory_order_relaxed) &&
         !Host.TraceMode.load(std::memory_order_relaxed) &&
         !Host.Warp.load(std::memory_order_relaxed);
}

void SoundOutputOpen() {
  SoundOutputClose();
  OutputOpen =
      SoundPlatform.OpenSoundOutput != nullptr && SoundPlatform.OpenSoundOutput(SampleRate);
}

void SoundOutputTick() {
  if (!OutputOpen || MixBuffer == nullptr) return;
  // The buffer is mixed afresh by the next tick that should be heard, so silence can go out
  // in it.
  if (!SoundAudible()) std::fill_n(MixBuffer, SamplesPerTick, std::int16_t{0});
  SoundPlatform.WriteSoundSamples(MixBuffer, SamplesPerTick);
}

void SoundOutputClose() {
  if (!OutputOpen) return;
  OutputOpen = false;
  SoundPlatform.CloseSoundOutput();
}

}  // namespace quillon
