// The desktop's sound through PulseAudio's simple API (which PipeWire desktops serve too),
// written from a thread of its own (platform/sound_writer.h).
#pragma once

namespace quillon {

// Makes PulseAudio the sound output: fills SoundPlatform.
void UsePulseSound();

}  // namespace quillon
