// Reads whether the X server's screen saver starts: sets the server's idle time-out to the
// given seconds, waits the given seconds without input, and prints "on" when the screen saver
// came on, "off" when it stayed off. The desktop end-to-end test checks with it that the
// emulator holds the screen saver off while it runs and lets it start while paused.
//
// usage: screen_saver_state TIMEOUT_SECONDS WAIT_SECONDS
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: screen_saver_state TIMEOUT_SECONDS WAIT_SECONDS\n");
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  int eventBase = 0;
  int errorBase = 0;
  if (display == nullptr || !XScreenSaverQueryExtension(display, &eventBase, &errorBase)) {
    std::fprintf(stderr, "screen_saver_state: no X display with the screen saver extension\n");
    return 2;
  }
  XSetScreenSaver(display, std::atoi(argv[1]), 0, DontPreferBlanking, AllowExposures);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
  XScreenSaverInfo* info = XScreenSaverAllocInfo();
  XScreenSaverQueryInfo(display, DefaultRootWindow(display), info);
  std::printf("%s\n", info->state == ScreenSaverOn ? "on" : "off");
  XFree(info);
  // Put the saver back to the server's default, so that later checks start from the same.
  XSetScreenSaver(display, -1, -1, DefaultBlanking, DefaultExposures);
  XForceScreenSaver(display, ScreenSaverReset);
  XCloseDisplay(display);
  return 0;
}
