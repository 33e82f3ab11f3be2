#include "sound/sound_output.h"

#include <algorithm>

#include "platform/sound_platform.h"
#include "session/host_state.h"
#include "session/session.h"
#include "sound/speed.h"

namespace quillon {

SoundPlatformOps SoundPlatform = {};
int SoundStarted = 0;
EmulatedSoundClock SoundClock = {};

namespace {

bool OutputOpen = false;

// Emulated time runs at fifty frames a second, PAL and NTSC alike.
constexpr std::int64_t FramesPerSecond = 50;

// The speed reading counts cycles per tick against the machine's cycles in a sixtieth of a
// second, a hundredth of them per percent.
constexpr std::int32_t PalSpeedDivisor = 9867 / 60;
constexpr std::int32_t NtscSpeedDivisor = 10227 / 60;

// Hands the samples to the output: as they are when the machine should be heard, as silence
// otherwise. The machine mixes its buffer afresh at the next tick that should be heard, so
// silence can go out in it.
void HandOver(std::span<std::int16_t> samples) {
  if (!OutputOpen || samples.empty()) return;
  if (!SoundAudible()) std::fill(samples.begin(), samples.end(), std::int16_t{0});
  SoundPlatform.WriteSoundSamples(samples.data(), static_cast<std::int32_t>(samples.size()));
}

void CloseOutput() {
  if (!OutputOpen) return;
  OutputOpen = false;
  SoundPlatform.CloseSoundOutput();
}

}  // namespace

bool SoundAudible() {
  return Host.SoundOn.load(std::memory_order_relaxed) &&
         !EmulationHeld() &&
         !Host.TraceMode.load(std::memory_order_relaxed) &&
         !Host.Warp.load(std::memory_order_relaxed);
}

void SoundStart() {
  Machine& machine = CurrentMachine();
  Host.SpeedDivisor = machine.Pal() ? PalSpeedDivisor : NtscSpeedDivisor;
  SoundClock.Lines = 0;
  machine.SetSoundLive(!SoundClock.Enabled);
  CloseOutput();
  OutputOpen = SoundPlatform.OpenSoundOutput != nullptr &&
               SoundPlatform.OpenSoundOutput(machine.SampleRate());
  SoundStarted = 1;
}

void SoundTimerTick() {
  // Paused or held, the envelopes stand still and the speed is not read; the output still
  // hears the tick, as silence.
  const bool running = !EmulationHeld();
  if (running) UpdateSpeed();
  HandOver(CurrentMachine().SoundTick(running));
}

void SoundClockLine() {
  // Two and a half frames: 780 lines under PAL, 655 under NTSC.
  if (++SoundClock.Lines < CurrentMachine().LinesPerFrame() * 5 / 2) return;
  SoundClock.Lines = 0;
  SoundTimerTick();
}

void SoundShutdown() {
  if (!SoundStarted) return;
  // A recording on emulated time lasts as long as the run, to the sample: the lines since the
  // last tick are a part of a tick.
  if (SoundClock.Enabled && OutputOpen) {
    Machine& machine = CurrentMachine();
    const std::int64_t lines = SoundClock.Lines;
    const auto samples = static_cast<std::int32_t>(lines * machine.SampleRate() /
                                                   (machine.LinesPerFrame() * FramesPerSecond));
    HandOver(machine.SoundTail(samples));
  }
  CloseOutput();
  SoundStarted = 0;
}

}  // namespace quillon
