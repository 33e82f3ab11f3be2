// The machine's sound on its way out: the tick that has the machine mix a twentieth of a second
// and hands the block to the platform's sink (platform/sound_platform.h), on the timer's thread
// in the window and on emulated time in headless runs.
#pragma once

#include <cstdint>

namespace quillon {

// Set between SoundStart and SoundShutdown.
extern int SoundStarted;

// Headless runs tick the sound on emulated time instead of on the timer thread, so that the
// same run mixes the same samples however fast it goes: while Enabled, the end of every raster
// line counts, and the sound ticks every two and a half frames, a twentieth of a second at 50
// frames a second.
struct EmulatedSoundClock {
  bool Enabled;
  std::int32_t Lines;
};
extern EmulatedSoundClock SoundClock;

// Whether the machine should be heard now: Settings > Sound is on and the emulation runs at
// its own pace, neither paused, single-stepped in trace mode nor in warp. Every tick asks it, on
// whichever thread ticks the sound, so each flag it reads is atomic.
bool SoundAudible();

// After the machine's power-on or a switch to another machine: fixes the speed reading's divisor
// for the video standard, tells the machine whether its sound plays live (the timer thread) or
// is recorded (the emulated clock), (re)opens the platform's output at the machine's sample
// rate and sets SoundStarted.
void SoundStart();
// One sound tick: unless paused, takes the speed reading and has the machine step its
// envelopes and mix; the block goes to the output, as silence when the machine should not be
// heard, never an older block again.
void SoundTimerTick();
// One raster line of emulated time has passed; ticks the sound when a tick's worth has.
void SoundClockLine();
// Closes the output; the sound must no longer tick.
void SoundShutdown();

}  // namespace quillon
