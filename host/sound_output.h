// The machine's sound on its way out: whether it should be heard now, and each tick's block
// handed to the platform's sink (host/sound_platform.h).
#pragma once

namespace quillon {

// Whether the machine should be heard now: Settings > Sound is on and the emulation runs at
// its own pace, neither paused, single-stepped in trace mode nor in warp. Every tick asks it, on
// whichever thread ticks the sound, so each flag it reads is atomic.
bool SoundAudible();

// Opens the platform's output at SampleRate, closing one that is still open first.
void SoundOutputOpen();
// Hands the tick's SamplesPerTick samples to the output: the mix when the machine should be
// heard, silence otherwise, never an older block again.
void SoundOutputTick();
// Closes the output; the sound must no longer tick.
void SoundOutputClose();

}  // namespace quillon
