// The dialogs on Windows: the common open-file and save-file dialogs, the About box (dialog 103
// with bitmap 105, from the program's resources) and the message box. Their text is UTF-16 for
// the system and UTF-8 for the shell.
#include <windows.h>
// After windows.h, which it builds on.
#include <commdlg.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "backends/win32/win32_state.h"
#include "resources/about_dialog.h"

namespace quillon::win32 {

// The open-file description in the size that every version of the dialog takes, up to and
// including the template's name (76 bytes in the 32-bit program).
constexpr DWORD OpenFileNameSize =
    offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(OPENFILENAMEW::lpTemplateName);
#ifndef _WIN64
static_assert(OpenFileNameSize == 76);
#endif

// The filter as the dialog takes it: description and pattern, each ended by a null, pair after
// pair, and an empty string at the end (the null that c_str adds).
std::wstring WideFilter(const char* filter) {
  std::wstring wide;
  for (const char* part = filter; *part != '\0'; part += std::strlen(part) + 1) {
    wide += WideText(part);
    wide += L'\0';
  }
  return wide;
}

// The common file dialog, for opening or saving. A name that ends in a separator offers its
// folder: the dialog opens there with no file named. Any other name opens the dialog in its own
// folder with the name filled in. The dialog has as many wide characters for the name as the
// shell has bytes; a name picked that is longer than that in UTF-8 counts as none, as one too
// long for the dialog itself does.
bool RunFileDialog(bool save, const char* filter, char* path, std::size_t capacity) {
  std::wstring offered = WideText(path);
  std::wstring folder;
  if (!offered.empty() && (offered.back() == L'\\' || offered.back() == L'/')) {
    folder.swap(offered);
  }
  std::vector<wchar_t> name(capacity, L'\0');
  if (offered.size() < capacity) std::copy(offered.begin(), offered.end(), name.begin());
  const std::wstring wideFilter = WideFilter(filter);
  OPENFILENAMEW description = {};
  description.lStructSize = OpenFileNameSize;
  description.hwndOwner = Win32.MainWindow;
  description.lpstrFilter = wideFilter.c_str();
  description.nFilterIndex = 1;
  description.lpstrFile = name.data();
  description.nMaxFile = static_cast<DWORD>(capacity);
  if (!folder.empty()) description.lpstrInitialDir = folder.c_str();
  // Saving asks before an existing file is replaced; opening takes existing files only.
  description.Flags = OFN_HIDEREADONLY | (save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST
                                               : OFN_FILEMUSTEXIST);
  if ((save ? GetSaveFileNameW(&description) : GetOpenFileNameW(&description)) == 0) return false;
  const std::string picked = Utf8Text(name.data());
  if (picked.size() >= capacity) return false;
  std::memcpy(path, picked.c_str(), picked.size() + 1);
  return true;
}

bool ChooseFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileDialog(false, filter, path, capacity);
}

bool ChooseSaveFile(const char* filter, char* path, std::size_t capacity) {
  return RunFileDialog(true, filter, path, capacity);
}

// The size of a window, from its rectangle on the screen.
SIZE WindowSize(HWND window) {
  RECT rect = {};
  GetWindowRect(window, &rect);
  return {rect.right - rect.left, rect.bottom - rect.top};
}

// The template's dialog units follow the dialog's font, but the picture sizes itself to the
// bitmap's pixels: with a font of another size than the design's, the two no longer fit
// together, and the picture could cover the button. So they are placed here, at the size they
// have: the picture at the template's margin, the button as wide as the picture beneath it, half
// a margin apart; the dialog is made to fit them with the margin all round, and centred on its
// monitor again.
void LayOutAboutDialog(HWND dialog) {
  HWND picture = GetDlgItem(dialog, AboutPictureId);
  HWND button = GetDlgItem(dialog, AboutOkButtonId);
  RECT margin = {AboutPictureRect.X, AboutPictureRect.Y, 0, 0};
  MapDialogRect(dialog, &margin);
  const SIZE pictureSize = WindowSize(picture);
  const LONG buttonHeight = WindowSize(button).cy;
  const LONG buttonTop = margin.top + pictureSize.cy + margin.top / 2;
  SetWindowPos(picture, nullptr, margin.left, margin.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(button, nullptr, margin.left, buttonTop, pictureSize.cx, buttonHeight,
               SWP_NOZORDER | SWP_NOACTIVATE);
  RECT frame = {0, 0, 2 * margin.left + pictureSize.cx, buttonTop + buttonHeight + margin.top};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongA(dialog, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongA(dialog, GWL_EXSTYLE)));
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT& area = monitor.rcWork;
  SetWindowPos(dialog, nullptr, area.left + (area.right - area.left - width) / 2,
               area.top + (area.bottom - area.top - height) / 2, width, height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

// The OK button ends the dialog, and so do Esc and the close box (the dialog's cancel). Other
// messages are left to the dialog manager, which draws the frame, the caption and the
// background and moves the box.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      LayOutAboutDialog(dialog);
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

// Owned by the main window, when there is one: the window takes no input while the box is up,
// and the box stays in front of it.
void ShowMessageBox(const char* text, const char* caption) {
  MessageBoxW(Win32.MainWindow, WideText(text).c_str(), WideText(caption).c_str(), MB_OK);
}

}  // namespace quillon::win32
