// The speed reading: emulation steps since the last reading as a percentage of real time.
#pragma once

namespace quillon {

// Runs on the sound timer's thread at the start of every mixing tick.
void UpdateSpeed();

}  // namespace quillon
