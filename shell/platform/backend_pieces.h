// Pieces of the backends that have no window procedure of the system's own (headless, GTK):
// delivering messages to the shell's window procedure, the default that only closes the window,
// and the files dropped on the window waiting to be taken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "platform/platform.h"

namespace quillon {

// Hands a message to the window procedure the main window's class was registered with; nothing
// happens before a class was registered.
std::intptr_t SendToWindow(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam);
// PlatformOps::DeliverMessage: SendToWindow with the message's fields.
void DeliverToWindow(const WindowMessage& message);
// PlatformOps::DefaultWindowProc where the system has done its own part already: closing the
// window, by a close message or the system menu's Close, destroys it; nothing else has a
// default action.
std::intptr_t CloseOnlyDefaultWindowProc(WindowHandle window, std::uint32_t message,
                                         std::uintptr_t wParam, std::intptr_t lParam);

// Files dropped on the window and not yet taken, oldest first; shared between the thread that
// drops them and the one that takes them.
class DroppedFileQueue {
 public:
  void Add(std::string path);
  // PlatformOps::TakeDroppedFile's work: the oldest file into `path` (room for `capacity`
  // characters); false when there is none or it does not fit.
  bool Take(char* path, std::size_t capacity);
  void Clear();

 private:
  std::mutex Lock;
  std::deque<std::string> Files;
};

}  // namespace quillon
