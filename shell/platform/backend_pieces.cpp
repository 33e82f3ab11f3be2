#include "platform/backend_pieces.h"

#include <cstring>
#include <utility>

#include "platform/messages.h"

namespace quillon {

std::intptr_t SendToWindow(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) {
  if (MainWindowProcedure == nullptr) return 0;
  return MainWindowProcedure(window, message, wParam, lParam);
}

void DeliverToWindow(const WindowMessage& message) {
  SendToWindow(message.Window, message.Message, message.WParam, message.LParam);
}

std::intptr_t CloseOnlyDefaultWindowProc(WindowHandle, std::uint32_t message,
                                         std::uintptr_t wParam, std::intptr_t) {
  if (message == MessageClose ||
      (message == MessageSysCommand && (wParam & SysCommandMask) == SysCommandClose)) {
    Platform.DestroyMainWindow();
  }
  return 0;
}

void DroppedFileQueue::Add(std::string path) {
  const std::lock_guard lock(Lock);
  Files.push_back(std::move(path));
}

bool DroppedFileQueue::Take(char* path, std::size_t capacity) {
  const std::lock_guard lock(Lock);
  if (Files.empty()) return false;
  const std::string file = std::move(Files.front());
  Files.pop_front();
  if (file.size() >= capacity) return false;
  std::memcpy(path, file.c_str(), file.size() + 1);
  return true;
}

void DroppedFileQueue::Clear() {
  const std::lock_guard lock(Lock);
  Files.clear();
}

}  // namespace quillon
