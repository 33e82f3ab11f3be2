// The platform layer: what the host shell needs from the system it runs on, named for what it
// does. A backend (headless, GTK, Windows) fills `Platform` before the shell starts; the shell's
// logic calls only these operations. Input reaches the shell as window messages (host/messages.h)
// that the backend hands to MainWindowProc, so that the window procedure is one piece of code
// for every backend. The display's own operations (window size, full screen) are in
// host/display_platform.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "resources/menu.h"

namespace quillon {

using WindowHandle = void*;

struct WindowMessage {
  WindowHandle Window;
  std::uint32_t Message;
  std::uintptr_t WParam;
  std::intptr_t LParam;
};

using TimerCallback = void (*)();

struct PlatformOps {
  // --- The main window ---
  // Registers the main window's class (standard application icon, arrow cursor, no background
  // brush, so that the window is never erased). False when the system refuses.
  bool (*RegisterMainWindowClass)(const char* className);
  // Builds the menu bar from its description; the next created window carries it.
  void (*LoadMainMenu)(std::span<const MenuResource> menu);
  // Creates the main window of the registered class at the default position with the given
  // outer size. False when it cannot be created.
  bool (*CreateMainWindow)(const char* className, const char* title, std::int32_t width,
                           std::int32_t height);
  // Shows the window as `showCommand` asks and paints it once.
  void (*ShowMainWindow)(std::int32_t showCommand);
  // Destroys the main window; the destroy message reaches MainWindowProc before this returns.
  void (*DestroyMainWindow)();
  // The size of the window's client area.
  void (*ReadClientSize)(std::int32_t* width, std::int32_t* height);
  // Rewrites the menu item `command` of sub-menu `subMenu` with `text`, checked or not.
  void (*SetMenuItemCheck)(int subMenu, std::uint32_t command, const char* text, bool checked);

  // --- Painting ---
  // Opens and closes what the paint handler draws with.
  void (*OpenPainter)();
  void (*ClosePainter)();
  // Marks the whole client area for repainting without erasing it; a paint message follows.
  void (*RequestRepaint)();
  // The paint handler's work: begins painting, draws `pixels` (32-bit 0x00RRGGBB, rows
  // bottom-up, `width` x `height`) stretched to `targetWidth` x `targetHeight` at the client
  // area's origin, and ends painting. With null pixels only begins and ends painting.
  void (*PaintPicture)(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                       std::int32_t targetWidth, std::int32_t targetHeight);

  // --- Messages ---
  // Takes the next waiting message off the queue without blocking; false when none waits.
  bool (*TakeMessage)(WindowMessage* message);
  // Translates a key message (so that character messages follow) and delivers it to its
  // window's procedure.
  void (*DeliverMessage)(const WindowMessage& message);
  // Blocks until a message arrives.
  void (*WaitMessage)();
  // Posts the quit message with `exitCode`.
  void (*PostQuitMessage)(std::int32_t exitCode);
  // What the system does with a message the window procedure does not handle.
  std::intptr_t (*DefaultWindowProc)(WindowHandle window, std::uint32_t message,
                                     std::uintptr_t wParam, std::intptr_t lParam);

  // --- Time ---
  // Gives up the processor for about `milliseconds`.
  void (*Sleep)(std::uint32_t milliseconds);
  // A monotonic 64-bit counter and its rate in counts per second (below 50 when the platform
  // has no usable counter).
  std::int64_t (*CounterFrequency)();
  std::int64_t (*ReadCounter)();
  // Calls `callback` every `periodMilliseconds` on a thread of its own until stopped; stopping
  // returns only when no call is running and none will follow.
  bool (*StartPeriodicTimer)(std::uint32_t periodMilliseconds, TimerCallback callback);
  void (*StopPeriodicTimer)();

  // --- Dialogs ---
  // The open-file dialog: `filter` is pairs of description and pattern ended by an empty
  // string; `path` (room for `capacity` characters) holds the name offered (a name that ends
  // in a path separator offers that folder, with no file chosen) and, when the user picked an
  // existing file, receives its full path. False when cancelled.
  bool (*ChooseFile)(const char* filter, char* path, std::size_t capacity);
  // The modal About dialog.
  void (*ShowAboutDialog)();
  // A message box without owner with only an OK button; returns when it is closed.
  void (*ShowMessageBox)(const char* text, const char* caption);

  // --- Optional: left empty where the system has no such thing ---
  // The text on the clipboard; false when it holds none.
  bool (*ReadClipboardText)(std::string* text);
  // Keeps the screen saver and the display's power saving from starting (true), or lets them
  // start again (false).
  void (*HoldOffScreenSaver)(bool hold);
  // The save-file dialog, as ChooseFile but for a file to write: the name may be new, and the
  // dialog asks before it lets an existing file be replaced. False when cancelled.
  bool (*ChooseSaveFile)(const char* filter, char* path, std::size_t capacity);
  // The first file of a drop that MessageDropFiles announced, copied into `path` (room for
  // `capacity` characters); the drop is released. False when there is none or it does not fit.
  bool (*TakeDroppedFile)(std::uintptr_t drop, char* path, std::size_t capacity);
};

// Filled by the backend before the shell starts.
extern PlatformOps Platform;

}  // namespace quillon
