// The main window on Windows: its class and menu, the message queue, the paint with DrawDib
// from the display buffer's DIB section, and the window's size and place.
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <cstdint>

#include "platform/display_platform.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "backends/win32/win32_state.h"
#include "resources/menu.h"

namespace quillon::win32 {

// The window procedure takes the system's messages as they come, so the numbers it knows them
// by must be the system's own.
static_assert(MessageCreate == WM_CREATE && MessageDestroy == WM_DESTROY &&
              MessageSize == WM_SIZE && MessageKillFocus == WM_KILLFOCUS &&
              MessagePaint == WM_PAINT && MessageClose == WM_CLOSE &&
              MessageQuit == WM_QUIT && MessageKeyDown == WM_KEYDOWN &&
              MessageKeyUp == WM_KEYUP && MessageChar == WM_CHAR &&
              MessageSysKeyDown == WM_SYSKEYDOWN && MessageSysKeyUp == WM_SYSKEYUP &&
              MessageCommand == WM_COMMAND && MessageSysCommand == WM_SYSCOMMAND &&
              MessageDropFiles == WM_DROPFILES);
static_assert(SysCommandMask == 0xFFF0 && SysCommandClose == SC_CLOSE &&
              SysCommandScreenSave == SC_SCREENSAVE && SysCommandMonitorPower == SC_MONITORPOWER);
static_assert(VirtualKeyReturn == VK_RETURN && VirtualKeyShift == VK_SHIFT &&
              VirtualKeyControl == VK_CONTROL && VirtualKeyPause == VK_PAUSE &&
              VirtualKeyEscape == VK_ESCAPE && VirtualKeySpace == VK_SPACE &&
              VirtualKeyHome == VK_HOME && VirtualKeyLeft == VK_LEFT && VirtualKeyUp == VK_UP &&
              VirtualKeyRight == VK_RIGHT && VirtualKeyDown == VK_DOWN &&
              VirtualKeyInsert == VK_INSERT && VirtualKeyDelete == VK_DELETE);
static_assert(VirtualKeyMultiply == VK_MULTIPLY && VirtualKeyAdd == VK_ADD &&
              VirtualKeySubtract == VK_SUBTRACT && VirtualKeyDecimal == VK_DECIMAL &&
              VirtualKeyDivide == VK_DIVIDE && VirtualKeyNumpad0 == VK_NUMPAD0 &&
              VirtualKeyNumpad2 == VK_NUMPAD2 && VirtualKeyNumpad4 == VK_NUMPAD4 &&
              VirtualKeyNumpad6 == VK_NUMPAD6 && VirtualKeyNumpad8 == VK_NUMPAD8);
static_assert(VirtualKeyF1 == VK_F1 && VirtualKeyF2 == VK_F2 && VirtualKeyF3 == VK_F3 &&
              VirtualKeyF4 == VK_F4 && VirtualKeyF5 == VK_F5 && VirtualKeyF6 == VK_F6 &&
              VirtualKeyF7 == VK_F7 && VirtualKeyF8 == VK_F8 && VirtualKeyF9 == VK_F9 &&
              VirtualKeyF11 == VK_F11 && VirtualKeyF12 == VK_F12 &&
              VirtualKeyScrollLock == VK_SCROLL);
static_assert(VirtualKeyOem1 == VK_OEM_1 && VirtualKeyOemPlus == VK_OEM_PLUS &&
              VirtualKeyOemComma == VK_OEM_COMMA && VirtualKeyOemMinus == VK_OEM_MINUS &&
              VirtualKeyOem4 == VK_OEM_4 && VirtualKeyOem6 == VK_OEM_6 &&
              VirtualKeyOem7 == VK_OEM_7 && VirtualKeyOem2 == VK_OEM_2 &&
              VirtualKeyOem3 == VK_OEM_3 && VirtualKeyOem5 == VK_OEM_5 &&
              VirtualKeyOemPeriod == VK_OEM_PERIOD && VirtualKeyOem102 == VK_OEM_102);
// The keys that reach the C64 by the codes the system gives them, and the two right-hand keys
// that the window procedure tells from the left ones by their scan code and extended flag.
static_assert(VirtualKeyBack == VK_BACK && VirtualKeyTab == VK_TAB &&
              VirtualKeyClear == VK_CLEAR && VirtualKeyCapital == VK_CAPITAL &&
              VirtualKeyPrior == VK_PRIOR && VirtualKeyNext == VK_NEXT && VirtualKeyEnd == VK_END &&
              VirtualKeyRightShift == VK_RSHIFT && VirtualKeyRightControl == VK_RCONTROL);

// Corrections of the outer size until the client area fits the picture: one is enough unless
// the menu bar wraps at the new width.
constexpr int SizeCorrections = 3;

// The system's messages go to the shell's window procedure as they come.
LRESULT CALLBACK SystemWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The creation's messages arrive before CreateWindowExA has returned the handle, and the
  // size message among them reads the client area through it.
  if (Win32.MainWindow == nullptr && message == WM_NCCREATE) Win32.MainWindow = window;
  const LRESULT result = MainWindowProcedure(window, message, wParam, lParam);
  if (message == WM_NCDESTROY && window == Win32.MainWindow) Win32.MainWindow = nullptr;
  return result;
}

bool RegisterMainWindowClass(const char* className, WindowProcedure procedure) {
  MainWindowProcedure = procedure;
  WNDCLASSA windowClass = {};
  windowClass.style = 0;
  windowClass.lpfnWndProc = SystemWindowProcedure;
  windowClass.hInstance = Win32.Instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  // No background brush: the window is never erased, the picture covers it.
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  windowClass.lpszClassName = className;
  return RegisterClassA(&windowClass) != 0;
}

// The resource was written from the same menu data when the program was built.
void LoadMainMenu(std::span<const MenuResource>) {
  Win32.MainMenu = LoadMenuA(Win32.Instance, MAKEINTRESOURCEA(MainMenuResourceId));
}

bool CreateMainWindow(const char* className, const char* title, std::int32_t width,
                      std::int32_t height) {
  Win32.MainWindow = CreateWindowExA(0, className, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                     CW_USEDEFAULT, width, height, nullptr, Win32.MainMenu,
                                     Win32.Instance, nullptr);
  if (Win32.MainWindow == nullptr) return false;
  // Files dropped on the window arrive as WM_DROPFILES.
  DragAcceptFiles(Win32.MainWindow, TRUE);
  return true;
}

void ShowMainWindow(std::int32_t showCommand) {
  ShowWindow(Win32.MainWindow, showCommand);
  UpdateWindow(Win32.MainWindow);
}

void DestroyMainWindow() { DestroyWindow(Win32.MainWindow); }

void ReadClientSize(std::int32_t* width, std::int32_t* height) {
  RECT client = {};
  GetClientRect(Win32.MainWindow, &client);
  *width = client.right;
  *height = client.bottom;
}

void SetMenuItemCheck(int subMenu, std::uint32_t command, const char* text, bool checked) {
  ModifyMenuA(GetSubMenu(Win32.MainMenu, subMenu), command,
              MF_BYCOMMAND | MF_STRING | (checked ? MF_CHECKED : MF_UNCHECKED), command, text);
}

void OpenPainter() { Win32.DrawDibHandle = DrawDibOpen(); }

void ClosePainter() {
  if (Win32.DrawDibHandle != nullptr) DrawDibClose(Win32.DrawDibHandle);
  Win32.DrawDibHandle = nullptr;
}

// Without the window (it is being destroyed) there is nothing to repaint; a null window would
// ask for the whole screen.
void RequestRepaint() {
  if (Win32.MainWindow != nullptr) InvalidateRgn(Win32.MainWindow, nullptr, FALSE);
}

// The display buffer's format: 32 bits per pixel, uncompressed, rows bottom-up (positive
// height).
void DescribePicture(std::int32_t width, std::int32_t height) {
  Win32.PictureFormat = {};
  Win32.PictureFormat.biSize = sizeof(BITMAPINFOHEADER);
  Win32.PictureFormat.biWidth = width;
  Win32.PictureFormat.biHeight = height;
  Win32.PictureFormat.biPlanes = 1;
  Win32.PictureFormat.biBitCount = 32;
  Win32.PictureFormat.biCompression = BI_RGB;
}

void PaintPicture(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                  std::int32_t targetWidth, std::int32_t targetHeight) {
  Win32.WindowDamaged = true;
  PAINTSTRUCT paint;
  HDC context = BeginPaint(Win32.MainWindow, &paint);
  if (context != nullptr && pixels != nullptr) {
    DescribePicture(width, height);
    DrawDibDraw(Win32.DrawDibHandle, context, 0, 0, targetWidth, targetHeight,
                &Win32.PictureFormat, const_cast<std::uint32_t*>(pixels), 0, 0, width, height, 0);
  }
  EndPaint(Win32.MainWindow, &paint);
}

bool TakeMessage(WindowMessage* message) {
  if (!PeekMessageA(&Win32.LastMessage, nullptr, 0, 0, PM_REMOVE)) return false;
  *message = {Win32.LastMessage.hwnd, Win32.LastMessage.message, Win32.LastMessage.wParam,
              Win32.LastMessage.lParam};
  return true;
}

void DeliverMessage(const WindowMessage& message) {
  MSG systemMessage = Win32.LastMessage;
  systemMessage.hwnd = static_cast<HWND>(message.Window);
  systemMessage.message = message.Message;
  systemMessage.wParam = message.WParam;
  systemMessage.lParam = message.LParam;
  TranslateMessage(&systemMessage);
  DispatchMessageA(&systemMessage);
}

void WaitForMessage() { WaitMessage(); }

void WakeMainLoop() { PostThreadMessageA(Win32.MainThread, WM_NULL, 0, 0); }

void PostQuit(std::int32_t exitCode) { PostQuitMessage(exitCode); }

std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
  return DefWindowProcA(static_cast<HWND>(window), message, wParam, lParam);
}

// --- The display buffer ---

std::uint32_t* CreatePictureBuffer(std::int32_t width, std::int32_t height) {
  HDC context = GetDC(Win32.MainWindow);
  DescribePicture(width, height);
  void* pixels = nullptr;
  Win32.DisplayBitmap =
      CreateDIBSection(context, reinterpret_cast<BITMAPINFO*>(&Win32.PictureFormat),
                       DIB_RGB_COLORS, &pixels, nullptr, 0);
  ReleaseDC(Win32.MainWindow, context);
  return Win32.DisplayBitmap != nullptr ? static_cast<std::uint32_t*>(pixels) : nullptr;
}

void FreePictureBuffer() {
  if (Win32.DisplayBitmap != nullptr) DeleteObject(Win32.DisplayBitmap);
  Win32.DisplayBitmap = nullptr;
}

// --- The window's size and place ---

// The client area is made exactly the picture's size. Frames, captions and menu bars differ
// between Windows versions and themes, so the outer size asked for is corrected by what the
// client area turns out to be. A minimised or maximised window keeps its size.
void ResizeMainWindow(std::int32_t outerWidth, std::int32_t outerHeight) {
  const std::int32_t pictureWidth = outerWidth - WindowFrameWidth;
  const std::int32_t pictureHeight = outerHeight - WindowFrameHeight;
  for (int attempt = 0; attempt < SizeCorrections; ++attempt) {
    SetWindowPos(Win32.MainWindow, nullptr, 0, 0, outerWidth, outerHeight,
                 SWP_NOMOVE | SWP_NOZORDER);
    RECT client = {};
    if (IsIconic(Win32.MainWindow) || IsZoomed(Win32.MainWindow) ||
        !GetClientRect(Win32.MainWindow, &client)) {
      return;
    }
    if (client.right == pictureWidth && client.bottom == pictureHeight) return;
    outerWidth += pictureWidth - client.right;
    outerHeight += pictureHeight - client.bottom;
  }
}

void ShowMouseCursor(bool visible) { ShowCursor(visible ? TRUE : FALSE); }

WindowRect ReadMainWindowRect() {
  RECT rect = {};
  GetWindowRect(Win32.MainWindow, &rect);
  return {rect.left, rect.top, rect.right, rect.bottom};
}

void MoveMainWindow(const WindowRect& rect) {
  MoveWindow(Win32.MainWindow, rect.Left, rect.Top, rect.Right - rect.Left,
             rect.Bottom - rect.Top, TRUE);
}

// The system keeps the normal place of a maximised or minimised window, as an outer rectangle;
// the frame, caption and menu bar that a normal window has around its client area are taken off
// it.
WindowPlacement ReadWindowPlacement() {
  HWND window = Win32.MainWindow;
  WINDOWPLACEMENT placement = {};
  placement.length = sizeof placement;
  RECT client = {};
  if (!GetWindowPlacement(window, &placement) || !GetClientRect(window, &client)) return {};
  const bool maximized = placement.showCmd == SW_SHOWMAXIMIZED ||
                         (placement.showCmd == SW_SHOWMINIMIZED &&
                          (placement.flags & WPF_RESTORETOMAXIMIZED) != 0);
  if (!IsZoomed(window) && !IsIconic(window)) return {client.right, client.bottom, false};
  RECT frame = {};
  const LONG style = GetWindowLongA(window, GWL_STYLE) & ~(WS_MAXIMIZE | WS_MINIMIZE);
  AdjustWindowRectEx(&frame, static_cast<DWORD>(style), GetMenu(window) != nullptr,
                     static_cast<DWORD>(GetWindowLongA(window, GWL_EXSTYLE)));
  const RECT& normal = placement.rcNormalPosition;
  return {(normal.right - normal.left) - (frame.right - frame.left),
          (normal.bottom - normal.top) - (frame.bottom - frame.top), maximized};
}

void MaximizeMainWindow() { ShowWindow(Win32.MainWindow, SW_MAXIMIZE); }

}  // namespace quillon::win32
