// Holding the screen saver off from a GTK program on Linux: the X server's own screen saver
// and display power saving, and the desktop session's screen saver over D-Bus.
#pragma once

namespace quillon {

// Holds the screen saver off (true) or lets it start again (false).
void GtkHoldOffScreenSaver(bool hold);

}  // namespace quillon
