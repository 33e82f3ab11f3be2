#include "backends/pulse/pulse_sound.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include "platform/sound_platform.h"
#include "platform/sound_writer.h"

namespace quillon {
namespace {

// The server keeps a tenth of a second queued: room for two ticks of 50 ms, so a late tick
// does not run it dry, and with the tick's own wait a register write is heard within about
// 150 ms.
constexpr std::uint32_t QueuedMilliseconds = 100;
pa_simple* Stream = nullptr;

const char* PulseOpen(std::uint32_t sampleRate) {
  const pa_sample_spec spec = {PA_SAMPLE_S16NE, sampleRate, 1};
  pa_buffer_attr attributes;
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.tlength = sampleRate * 2 * QueuedMilliseconds / 1000;
  attributes.prebuf = static_cast<std::uint32_t>(-1);
  attributes.minreq = static_cast<std::uint32_t>(-1);
  attributes.fragsize = static_cast<std::uint32_t>(-1);
  int error = 0;
  Stream = pa_simple_new(nullptr, "Quillon", PA_STREAM_PLAYBACK, nullptr, "C64 sound", &spec,
                         nullptr, &attributes, &error);
  return Stream == nullptr ? pa_strerror(error) : nullptr;
}

const char* PulseWrite(const std::int16_t* samples, std::int32_t count) {
  int error = 0;
  if (pa_simple_write(Stream, samples, static_cast<std::size_t>(count) * 2, &error) < 0) {
    return pa_strerror(error);
  }
  return nullptr;
}

void PulseClose() {
  pa_simple_free(Stream);
  Stream = nullptr;
}

}  // namespace

void UsePulseSound() {
  SoundPlatform = SoundOutputThroughWriter({PulseOpen, PulseWrite, PulseClose});
}

}  // namespace quillon
