// The platform layer: what the host shell needs from the system it runs on, named for what it
// does. A backend (headless, GTK, Windows) fills `Platform` before the shell starts, in one
// designated initializer that must name every required operation (an entry left out does not
// compile); the shell's logic calls only these operations. Input reaches the shell as window
// messages (platform/messages.h) that the backend hands to the window procedure the main
// window's class was registered with, so that the window procedure is one piece of code for
// every backend. The display's own operations (window size, full screen) are in
// platform/display_platform.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <utility>

namespace quillon {

// A menu bar as data: its sub-menus, each with a title and its items, from which every backend
// builds its native menu.
inline constexpr std::uint8_t MenuItemChecked = 1;
inline constexpr std::uint8_t MenuItemGrayed = 2;
inline constexpr std::uint8_t MenuItemSeparator = 4;

struct MenuItemResource {
  const char* Text;  // null for a separator
  std::uint32_t Command;
  std::uint8_t Flags;
};

struct MenuResource {
  const char* Title;
  std::span<const MenuItemResource> Items;
};

using WindowHandle = void*;

struct WindowMessage {
  WindowHandle Window;
  std::uint32_t Message;
  std::uintptr_t WParam;
  std::intptr_t LParam;
};

using TimerCallback = void (*)();

// The window procedure of the main window: it handles a message and returns 0, or what the
// platform's default does.
using WindowProcedure = std::intptr_t (*)(WindowHandle window, std::uint32_t message,
                                          std::uintptr_t wParam, std::intptr_t lParam);

// An operation that every backend must provide: it has no default, so a table that leaves it
// out is a compile error. It is called like the function it holds.
template <class Function>
struct Required {
  Function Call;
  constexpr Required(Function function) : Call(function) {}  // NOLINT: implicit by design
  template <class... Arguments>
  decltype(auto) operator()(Arguments&&... arguments) const {
    return Call(std::forward<Arguments>(arguments)...);
  }
};

struct PlatformOps {
  // --- The main window ---
  // Registers the main window's class (standard application icon, arrow cursor, no background
  // brush, so that the window is never erased) with its window procedure, to which the backend
  // hands every message of the main window. False when the system refuses.
  Required<bool (*)(const char* className, WindowProcedure procedure)> RegisterMainWindowClass;
  // Builds the menu bar from its description; the next created window carries it.
  Required<void (*)(std::span<const MenuResource> menu)> LoadMainMenu;
  // Creates the main window of the registered class at the default position with the given
  // outer size. False when it cannot be created.
  Required<bool (*)(const char* className, const char* title, std::int32_t width,
                    std::int32_t height)>
      CreateMainWindow;
  // Shows the window as `showCommand` asks and paints it once.
  Required<void (*)(std::int32_t showCommand)> ShowMainWindow;
  // Destroys the main window; the destroy message reaches the window procedure before this
  // returns.
  Required<void (*)()> DestroyMainWindow;
  // The size of the window's client area.
  Required<void (*)(std::int32_t* width, std::int32_t* height)> ReadClientSize;
  // Rewrites the menu item `command` of sub-menu `subMenu` with `text`, checked or not.
  Required<void (*)(int subMenu, std::uint32_t command, const char* text, bool checked)>
      SetMenuItemCheck;

  // --- Painting ---
  // Opens and closes what the paint handler draws with.
  Required<void (*)()> OpenPainter;
  Required<void (*)()> ClosePainter;
  // Marks the whole client area for repainting without erasing it; a paint message follows.
  Required<void (*)()> RequestRepaint;
  // The paint handler's work: begins painting, draws `pixels` (32-bit 0x00RRGGBB, rows
  // bottom-up, `width` x `height`) stretched to `targetWidth` x `targetHeight` at the client
  // area's origin, and ends painting. With null pixels only begins and ends painting.
  Required<void (*)(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                    std::int32_t targetWidth, std::int32_t targetHeight)>
      PaintPicture;

  // --- Messages ---
  // Takes the next waiting message off the queue without blocking; false when none waits.
  Required<bool (*)(WindowMessage* message)> TakeMessage;
  // Translates a key message (so that character messages follow) and delivers it to its
  // window's procedure.
  Required<void (*)(const WindowMessage& message)> DeliverMessage;
  // Blocks until a message arrives.
  Required<void (*)()> WaitMessage;
  // Posts the quit message with `exitCode`.
  Required<void (*)(std::int32_t exitCode)> PostQuitMessage;
  // What the system does with a message the window procedure does not handle.
  Required<WindowProcedure> DefaultWindowProc;

  // --- Time ---
  // Gives up the processor for about `milliseconds`.
  Required<void (*)(std::uint32_t milliseconds)> Sleep;
  // A monotonic 64-bit counter and its rate in counts per second (below 50 when the platform
  // has no usable counter).
  Required<std::int64_t (*)()> CounterFrequency;
  Required<std::int64_t (*)()> ReadCounter;
  // Calls `callback` every `periodMilliseconds` on a thread of its own until stopped; stopping
  // returns only when no call is running and none will follow.
  Required<bool (*)(std::uint32_t periodMilliseconds, TimerCallback callback)>
      StartPeriodicTimer;
  Required<void (*)()> StopPeriodicTimer;

  // --- Dialogs ---
  // The open-file dialog: `filter` is pairs of description and pattern ended by an empty
  // string; `path` (room for `capacity` characters) holds the name offered (a name that ends
  // in a path separator offers that folder, with no file chosen) and, when the user picked an
  // existing file, receives its full path. False when cancelled.
  Required<bool (*)(const char* filter, char* path, std::size_t capacity)> ChooseFile;
  // The save-file dialog, as ChooseFile but for a file to write: the name may be new, and the
  // dialog asks before it lets an existing file be replaced. False when cancelled.
  Required<bool (*)(const char* filter, char* path, std::size_t capacity)> ChooseSaveFile;
  // The modal About dialog.
  Required<void (*)()> ShowAboutDialog;
  // A message box with only an OK button, owned by the main window when there is one (the
  // window takes no input while it is up); returns when it is closed.
  Required<void (*)(const char* text, const char* caption)> ShowMessageBox;

  // --- Optional: left empty where the system has no such thing ---
  // The text on the clipboard; false when it holds none.
  bool (*ReadClipboardText)(std::string* text);
  // Keeps the screen saver and the display's power saving from starting (true), or lets them
  // start again (false).
  void (*HoldOffScreenSaver)(bool hold);
  // The first file of a drop that MessageDropFiles announced, copied into `path` (room for
  // `capacity` characters); the drop is released. False when there is none or it does not fit.
  bool (*TakeDroppedFile)(std::uintptr_t drop, char* path, std::size_t capacity);
  // From any thread: a main loop waiting in WaitMessage returns (a message that means nothing
  // is posted), so that it looks at what another thread has brought.
  void (*WakeMainLoop)();
};

// Filled by the backend before the shell starts.
extern PlatformOps Platform;

// The window procedure the main window's class was registered with.
extern WindowProcedure MainWindowProcedure;

}  // namespace quillon
