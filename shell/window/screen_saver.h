// The screen saver and the display's power saving wait while the emulation runs or is traced,
// and may start while it is paused, as they would for a film being played and then stopped.
#pragma once

namespace quillon {

// Asks the platform to hold the screen saver off, or to let it start, when the emulation has
// started or stopped running since the last call.
void FollowScreenSaverHold();

// Lets the screen saver start again, as the program ends.
void ReleaseScreenSaverHold();

}  // namespace quillon
