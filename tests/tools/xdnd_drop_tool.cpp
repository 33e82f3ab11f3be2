// Drops a file on an X window the way a file manager does, through the XDND protocol: the drag
// enters the window, moves to its middle, and drops there; the window fetches the file's name
// as a text/uri-list from the drag's selection, which this tool serves until the window says
// it has finished. Prints nothing and ends with status 0 when the window took the drop.
//   usage: xdnd_drop WINDOW_ID FILE
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr long XdndVersion = 5;
constexpr int TimeoutMilliseconds = 5000;

struct Drag {
  Display* X;
  Window Source;
  Window Target;
  std::string UriList;
  Atom Selection, TypeUriList, ActionCopy;
  Atom XdndEnter, XdndPosition, XdndStatus, XdndDrop, XdndFinished;
};

int Fail(const char* why) {
  std::fprintf(stderr, "xdnd_drop: %s\n", why);
  return 1;
}

void Send(const Drag& drag, Atom type, long l1, long l2, long l3, long l4) {
  XEvent event = {};
  event.xclient.type = ClientMessage;
  event.xclient.window = drag.Target;
  event.xclient.message_type = type;
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(drag.Source);
  event.xclient.data.l[1] = l1;
  event.xclient.data.l[2] = l2;
  event.xclient.data.l[3] = l3;
  event.xclient.data.l[4] = l4;
  XSendEvent(drag.X, drag.Target, False, NoEventMask, &event);
  XFlush(drag.X);
}

// Hands the file's URI to whoever asks for the drag's selection as a URI list.
void ServeSelection(const Drag& drag, const XSelectionRequestEvent& request) {
  XEvent reply = {};
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request.requestor;
  reply.xselection.selection = request.selection;
  reply.xselection.target = request.target;
  reply.xselection.time = request.time;
  reply.xselection.property = None;
  if (request.target == drag.TypeUriList) {
    const Atom property = request.property != None ? request.property : request.target;
    XChangeProperty(drag.X, request.requestor, property, drag.TypeUriList, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(drag.UriList.data()),
                    static_cast<int>(drag.UriList.size()));
    reply.xselection.property = property;
  }
  XSendEvent(drag.X, request.requestor, False, NoEventMask, &reply);
  XFlush(drag.X);
}

// Serves the selection until the window sends a message of `type` to the drag's source; false
// when none comes in time.
bool AwaitMessage(const Drag& drag, Atom type, XClientMessageEvent* message) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMilliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (XPending(drag.X) == 0) {
      pollfd connection = {ConnectionNumber(drag.X), POLLIN, 0};
      poll(&connection, 1, 50);
      continue;
    }
    XEvent event;
    XNextEvent(drag.X, &event);
    if (event.type == SelectionRequest) {
      ServeSelection(drag, event.xselectionrequest);
    } else if (event.type == ClientMessage && event.xclient.message_type == type) {
      *message = event.xclient;
      return true;
    }
  }
  return false;
}

// The path as a file URI gives it, as a file manager sends it: bytes other than letters,
// digits, the separator and - . _ ~ as %XX, UTF-8 names included.
std::string FileUri(const char* path) {
  constexpr char HexDigits[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char* at = path; *at != '\0'; ++at) {
    const auto byte = static_cast<unsigned char>(*at);
    if (std::isalnum(byte) != 0 || std::strchr("/-._~", byte) != nullptr) {
      uri += static_cast<char>(byte);
    } else {
      uri += '%';
      uri += HexDigits[byte >> 4];
      uri += HexDigits[byte & 0x0F];
    }
  }
  return uri;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: xdnd_drop WINDOW_ID FILE");
  Drag drag = {};
  drag.X = XOpenDisplay(nullptr);
  if (drag.X == nullptr) return Fail("no X display");
  drag.Target = static_cast<Window>(std::strtoul(argv[1], nullptr, 0));
  drag.UriList = FileUri(argv[2]) + "\r\n";
  drag.Selection = XInternAtom(drag.X, "XdndSelection", False);
  drag.TypeUriList = XInternAtom(drag.X, "text/uri-list", False);
  drag.ActionCopy = XInternAtom(drag.X, "XdndActionCopy", False);
  drag.XdndEnter = XInternAtom(drag.X, "XdndEnter", False);
  drag.XdndPosition = XInternAtom(drag.X, "XdndPosition", False);
  drag.XdndStatus = XInternAtom(drag.X, "XdndStatus", False);
  drag.XdndDrop = XInternAtom(drag.X, "XdndDrop", False);
  drag.XdndFinished = XInternAtom(drag.X, "XdndFinished", False);

  // The window must say which version of the protocol it speaks.
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* aware = nullptr;
  if (XGetWindowProperty(drag.X, drag.Target, XInternAtom(drag.X, "XdndAware", False), 0, 1,
                         False, XA_ATOM, &type, &format, &count, &after, &aware) != Success ||
      count != 1) {
    return Fail("the window takes no drops");
  }
  const long version = std::min(XdndVersion, static_cast<long>(*reinterpret_cast<Atom*>(aware)));
  XFree(aware);

  // The middle of the window, on the screen.
  XWindowAttributes attributes;
  XGetWindowAttributes(drag.X, drag.Target, &attributes);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(drag.X, drag.Target, attributes.root, attributes.width / 2,
                        attributes.height / 2, &x, &y, &child);

  drag.Source = XCreateSimpleWindow(drag.X, attributes.root, 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(drag.X, drag.Selection, drag.Source, CurrentTime);
  Send(drag, drag.XdndEnter, version << 24, static_cast<long>(drag.TypeUriList), 0, 0);
  Send(drag, drag.XdndPosition, 0, (x << 16) | y, CurrentTime, static_cast<long>(drag.ActionCopy));
  XClientMessageEvent reply;
  if (!AwaitMessage(drag, drag.XdndStatus, &reply)) return Fail("no answer to the drag");
  if ((reply.data.l[1] & 1) == 0) return Fail("the window refuses the drop");
  Send(drag, drag.XdndDrop, 0, CurrentTime, 0, 0);
  if (!AwaitMessage(drag, drag.XdndFinished, &reply)) return Fail("the drop is not finished");
  XCloseDisplay(drag.X);
  return 0;
}
