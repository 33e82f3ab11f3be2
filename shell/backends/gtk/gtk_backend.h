// The desktop backend on GTK 3: the main window with its menu bar and drawing area, key and menu
// events delivered to the window procedure as window messages, cairo painting of the display
// buffer, the native file, About and message dialogs, and full screen as a window covering the
// monitor.
#pragma once

namespace quillon {

// Connects to the desktop's display; false when there is none to be had.
bool OpenGtkDisplay();

// Makes GTK the platform: fills Platform and DisplayPlatform. Needs an open display.
void UseGtkBackend();

}  // namespace quillon
