#include "backends/gtk/screen_saver_hold.h"

#include <gio/gio.h>
#include <gtk/gtk.h>

#if QUILLON_HAVE_XSS
#include <X11/extensions/scrnsaver.h>
#include <gdk/gdkx.h>
#endif

namespace quillon {
namespace {

constexpr int SessionCallTimeoutMilliseconds = 1000;

// The desktop session's hold: the cookie that lifts it, while one is held.
bool SessionHeld = false;
guint32 SessionCookie = 0;

// Asks the session's screen saver service (org.freedesktop.ScreenSaver, which KDE, Xfce and
// others offer) to wait, or to go on. Without a session bus there is no one to ask, and none
// is started for it.
void HoldSessionScreenSaver(bool hold) {
  if (hold == SessionHeld || g_getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) return;
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return;
  GVariant* arguments = hold ? g_variant_new("(ss)", "Quillon", "The emulation is running")
                             : g_variant_new("(u)", SessionCookie);
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.freedesktop.ScreenSaver", "/org/freedesktop/ScreenSaver",
      "org.freedesktop.ScreenSaver", hold ? "Inhibit" : "UnInhibit", arguments,
      hold ? G_VARIANT_TYPE("(u)") : nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
      SessionCallTimeoutMilliseconds, nullptr, nullptr);
  if (reply != nullptr) {
    if (hold) g_variant_get(reply, "(u)", &SessionCookie);
    SessionHeld = hold;
    g_variant_unref(reply);
  } else if (!hold) {
    // The service has gone, and the hold with it.
    SessionHeld = false;
  }
  g_object_unref(bus);
}

// Suspends the X server's screen saver and display power saving; the server lifts the
// suspension itself when the program's connection closes.
void HoldX11ScreenSaver(bool hold) {
#if QUILLON_HAVE_XSS
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return;
  Display* x11 = GDK_DISPLAY_XDISPLAY(display);
  int eventBase = 0;
  int errorBase = 0;
  if (XScreenSaverQueryExtension(x11, &eventBase, &errorBase)) {
    XScreenSaverSuspend(x11, hold ? True : False);
    XFlush(x11);
  }
#else
  (void)hold;
#endif
}

}  // namespace

void GtkHoldOffScreenSaver(bool hold) {
  HoldX11ScreenSaver(hold);
  HoldSessionScreenSaver(hold);
}

}  // namespace quillon
