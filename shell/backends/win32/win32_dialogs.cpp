// The dialogs on Windows: the common open-file dialog, the About box (dialog 103 with bitmap
// 105, from the program's resources) and the message box.
#include <windows.h>
// After windows.h, which it builds on.
#include <commdlg.h>

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/platform.h"
#include "backends/win32/win32_state.h"
#include "resources/about_dialog.h"

namespace quillon::win32 {

// The open-file description in the size that every version of the dialog takes, up to and
// including the template's name (76 bytes in the 32-bit program).
constexpr DWORD OpenFileNameSize =
    offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(OPENFILENAMEA::lpTemplateName);
#ifndef _WIN64
static_assert(OpenFileNameSize == 76);
#endif

// The common file dialog, for opening or saving. A name that ends in a separator offers its
// folder: the dialog opens there with no file named. Any other name opens the dialog in its own
// folder with the name filled in.
bool RunFileDialog(bool save, const char* filter, char* path, std::size_t capacity) {
  const std::size_t offered = std::strlen(path);
  std::string folder;
  if (offered > 0 && (path[offered - 1] == '\\' || path[offered - 1] == '/')) {
    folder.assign(path, offered);
    path[0] = '\0';
  }
  OPENFILENAMEA description = {};
  description.lStructSize = OpenFileNameSize;
  description.hwndOwner = Win32.MainWindow;
  description.lpstrFilter = filter;
  description.nFilterIndex = 1;
  description.lpstrFile = path;
  description.nMaxFile = static_cast<DWORD>(capacity);
  if (!folder.empty()) description.lpstrInitialDir = folder.c_str();
  // Saving asks before an existing file is replaced; opening takes existing files only.
  description.Flags = OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST
                                               : OFN_FILEMUSTEXIST);
  return (save ? GetSaveFileNameA(&description) : GetOpenFileNameA(&description)) != 0;
}

bool ChooseFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileDialog(false, filter, path, capacity);
}

bool ChooseSaveFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileDialog(true, filter, path, capacity);
}

// The OK button ends the dialog, and so do Esc and the close box (the dialog's cancel). Other
// messages are left to the dialog manager, which draws the frame, the caption and the
// background and moves the box.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == AboutOkButtonId || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, 1);
      return TRUE;
    default:
      return FALSE;
  }
}

void ShowAboutDialog() {
  DialogBoxParamA(Win32.Instance, MAKEINTRESOURCEA(AboutDialogResourceId), Win32.MainWindow,
                  AboutDialogProc, 0);
}

void ShowMessageBox(const char* text, const char* caption) {
  MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace quillon::win32
