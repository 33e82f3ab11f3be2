// What the Windows desktop shares with the program: the clipboard's text for Edit > Paste,
// files dropped on the window (the window accepts them from its creation on), and the screen
// saver and the display's power saving held off while the emulation runs.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstring>
#include <string>

#include "platform/platform.h"
#include "backends/win32/win32_state.h"

namespace quillon::win32 {

// The text as CF_TEXT holds it, in the system's code page; characters that no C64 key types
// are left out when it is typed.
bool ReadClipboardText(std::string* text) {
  if (!IsClipboardFormatAvailable(CF_TEXT) || !OpenClipboard(Win32.MainWindow)) return false;
  bool read = false;
  HANDLE data = GetClipboardData(CF_TEXT);
  const char* characters = data != nullptr ? static_cast<const char*>(GlobalLock(data)) : nullptr;
  if (characters != nullptr) {
    // The text ends at its terminator, or at the end of its memory if another program left
    // none.
    text->assign(characters, strnlen(characters, GlobalSize(data)));
    GlobalUnlock(data);
    read = true;
  }
  CloseClipboard();
  return read;
}

// The first file of the drop, its name in UTF-8; the others are let go with it.
bool TakeDroppedFile(std::uintptr_t drop, char* path, std::size_t capacity) {
  HDROP files = reinterpret_cast<HDROP>(drop);
  const UINT length = DragQueryFileW(files, 0, nullptr, 0);
  std::wstring name(length, L'\0');
  const bool read = length > 0 && DragQueryFileW(files, 0, name.data(), length + 1) == length;
  DragFinish(files);
  const std::string taken = read ? Utf8Text(name) : "";
  if (taken.empty() || taken.size() >= capacity) return false;
  std::memcpy(path, taken.c_str(), taken.size() + 1);
  return true;
}

// The hold is the main thread's, which the window's messages run on: it lasts until the thread
// says otherwise.
void HoldOffScreenSaver(bool hold) {
  SetThreadExecutionState(hold ? ES_CONTINUOUS | ES_DISPLAY_REQUIRED | ES_SYSTEM_REQUIRED
                               : ES_CONTINUOUS);
}

}  // namespace quillon::win32
