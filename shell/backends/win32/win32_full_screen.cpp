// Full screen on Windows through DirectDraw, without ever changing the desktop's display mode:
// the main window loses its frame and menu and covers its monitor, and the 320 x 200 colour
// numbers are scaled onto it, as large as they go without changing shape. DirectDraw works in
// its normal (shared) cooperative level: the picture is scaled, pixel by pixel, into an
// off-screen surface of the size it is shown in and in the desktop's own pixel format, and a
// blit puts it on the primary surface, clipped to the window. DirectDraw's own stretching is
// not used, because it may smooth the C64's pixels into each other.
#include <windows.h>
// After windows.h, which it builds on.
#include <ddraw.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "window/display.h"
#include "platform/display_platform.h"
#include "backends/win32/win32_state.h"

namespace quillon::win32 {

// The surface description that Lock fills (108 bytes in the 32-bit program).
#ifndef _WIN64
static_assert(sizeof(DDSURFACEDESC) == 108);
#endif

struct FullScreenObjects {
  IDirectDraw* DirectDraw;
  IDirectDrawSurface* Primary;
  IDirectDrawClipper* Clipper;
  DDPIXELFORMAT Format;
  // The picture scaled to the size it is shown in.
  IDirectDrawSurface* Picture;
  LONG PictureWidth;
  LONG PictureHeight;
  // For each column of the scaled picture, the source column it shows.
  std::vector<std::int32_t> SourceColumns;
  // What the screen shows: a picture that has not changed is not drawn again until the window
  // is painted.
  std::vector<std::uint8_t> Shown;
  FullScreenPaletteEntry ShownPalette[FullScreenPaletteSize];
  bool ShownValid;
  // The window's style before it covered the monitor; 0 while it has not.
  LONG_PTR SavedStyle;
};
FullScreenObjects FullScreenDisplay;

template <typename Object>
void Release(Object*& object) {
  if (object != nullptr) object->Release();
  object = nullptr;
}

void ReleaseObjects() {
  FullScreenObjects& d = FullScreenDisplay;
  if (d.DirectDraw != nullptr) d.DirectDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
  Release(d.Picture);
  if (d.Primary != nullptr) d.Primary->SetClipper(nullptr);
  Release(d.Clipper);
  Release(d.Primary);
  Release(d.DirectDraw);
}

bool IsRgbFormat(const DDPIXELFORMAT& format) {
  const DWORD bits = format.dwRGBBitCount;
  return (format.dwFlags & DDPF_RGB) != 0 && (bits == 16 || bits == 24 || bits == 32);
}

// The default display driver's DirectDraw object, shared with the desktop, and the primary
// surface clipped to the main window.
bool CreateObjects() {
  FullScreenObjects& d = FullScreenDisplay;
  if (FAILED(DirectDrawCreate(nullptr, &d.DirectDraw, nullptr))) return false;
  if (FAILED(d.DirectDraw->SetCooperativeLevel(Win32.MainWindow, DDSCL_NORMAL))) return false;
  DDSURFACEDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS;
  description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
  if (FAILED(d.DirectDraw->CreateSurface(&description, &d.Primary, nullptr))) return false;
  if (FAILED(d.DirectDraw->CreateClipper(0, &d.Clipper, nullptr)) ||
      FAILED(d.Clipper->SetHWnd(0, Win32.MainWindow)) ||
      FAILED(d.Primary->SetClipper(d.Clipper))) {
    return false;
  }
  d.Format = {};
  d.Format.dwSize = sizeof d.Format;
  d.ShownValid = false;
  return SUCCEEDED(d.Primary->GetPixelFormat(&d.Format)) && IsRgbFormat(d.Format);
}

// An off-screen surface of `width` x `height` in the primary's format, made again when the size
// changes.
bool PreparePictureSurface(LONG width, LONG height) {
  FullScreenObjects& d = FullScreenDisplay;
  if (d.Picture != nullptr && d.PictureWidth == width && d.PictureHeight == height) return true;
  Release(d.Picture);
  DDSURFACEDESC description = {};
  description.dwSize = sizeof description;
  description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
  description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
  description.dwWidth = static_cast<DWORD>(width);
  description.dwHeight = static_cast<DWORD>(height);
  if (FAILED(d.DirectDraw->CreateSurface(&description, &d.Picture, nullptr))) return false;
  d.PictureWidth = width;
  d.PictureHeight = height;
  return true;
}

// An 8-bit colour component placed in the bits of `mask`.
std::uint32_t PlaceComponent(std::uint8_t value, DWORD mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while ((mask & (1u << shift)) == 0) ++shift;
  int bits = 0;
  while (shift + bits < 32 && (mask & (1u << (shift + bits))) != 0) ++bits;
  const std::uint32_t scaled = bits >= 8 ? std::uint32_t{value} << (bits - 8) : value >> (8 - bits);
  return (scaled << shift) & mask;
}

// Fits `width` x `height` into the window's client area as large as it goes without changing
// its shape, centred, in screen coordinates; the bars beside or above and below it are black.
void PlacePicture(std::int32_t width, std::int32_t height, RECT& picture, RECT bars[2]) {
  RECT client = {};
  GetClientRect(Win32.MainWindow, &client);
  POINT origin = {0, 0};
  ClientToScreen(Win32.MainWindow, &origin);
  const LONG areaWidth = client.right;
  const LONG areaHeight = client.bottom;
  LONG targetWidth = areaWidth;
  LONG targetHeight = areaWidth * height / width;
  if (targetHeight > areaHeight) {
    targetHeight = areaHeight;
    targetWidth = areaHeight * width / height;
  }
  const LONG left = origin.x + (areaWidth - targetWidth) / 2;
  const LONG top = origin.y + (areaHeight - targetHeight) / 2;
  picture = {left, top, left + targetWidth, top + targetHeight};
  if (targetWidth < areaWidth) {
    bars[0] = {origin.x, origin.y, left, origin.y + areaHeight};
    bars[1] = {left + targetWidth, origin.y, origin.x + areaWidth, origin.y + areaHeight};
  } else {
    bars[0] = {origin.x, origin.y, origin.x + areaWidth, top};
    bars[1] = {origin.x, top + targetHeight, origin.x + areaWidth, origin.y + areaHeight};
  }
}

// --- The display operations ---

DisplayMode ReadDesktopMode() {
  HDC display = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
  const DisplayMode mode = {GetDeviceCaps(display, HORZRES), GetDeviceCaps(display, VERTRES),
                            GetDeviceCaps(display, BITSPIXEL)};
  DeleteDC(display);
  return mode;
}

bool AcquireFullScreen() {
  if (Win32.MainWindow == nullptr || !CreateObjects()) {
    ReleaseObjects();
    return false;
  }
  HWND window = Win32.MainWindow;
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoA(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
  FullScreenDisplay.SavedStyle = GetWindowLongPtrA(window, GWL_STYLE);
  SetMenu(window, nullptr);
  SetWindowLongPtrA(window, GWL_STYLE, WS_POPUP | WS_VISIBLE);
  const RECT& area = monitor.rcMonitor;
  SetWindowPos(window, HWND_TOP, area.left, area.top, area.right - area.left,
               area.bottom - area.top, SWP_FRAMECHANGED | SWP_SHOWWINDOW);
  return true;
}

// The window gets its frame and menu back; the shell then moves it to where it was.
void ReleaseFullScreen() {
  ReleaseObjects();
  if (Win32.MainWindow == nullptr || FullScreenDisplay.SavedStyle == 0) return;
  SetWindowLongPtrA(Win32.MainWindow, GWL_STYLE, FullScreenDisplay.SavedStyle);
  SetMenu(Win32.MainWindow, Win32.MainMenu);
  SetWindowPos(Win32.MainWindow, nullptr, 0, 0, 0, 0,
               SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
  FullScreenDisplay.SavedStyle = 0;
}

// Scales the colour numbers into the picture surface: each target pixel shows the source pixel
// under it, so every C64 pixel stays one solid block; rows that show the same source row are
// copied.
bool DrawScaledPicture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                       const FullScreenPaletteEntry* palette) {
  FullScreenObjects& d = FullScreenDisplay;
  std::uint32_t colours[FullScreenPaletteSize];
  for (int i = 0; i < FullScreenPaletteSize; ++i) {
    colours[i] = PlaceComponent(palette[i].Red, d.Format.dwRBitMask) |
                 PlaceComponent(palette[i].Green, d.Format.dwGBitMask) |
                 PlaceComponent(palette[i].Blue, d.Format.dwBBitMask);
  }
  d.SourceColumns.resize(static_cast<std::size_t>(d.PictureWidth));
  for (LONG x = 0; x < d.PictureWidth; ++x) {
    d.SourceColumns[static_cast<std::size_t>(x)] = static_cast<std::int32_t>(x * width / d.PictureWidth);
  }
  DDSURFACEDESC locked = {};
  locked.dwSize = sizeof locked;
  if (FAILED(d.Picture->Lock(nullptr, &locked, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr))) {
    return false;
  }
  const std::size_t bytesPerPixel = d.Format.dwRGBBitCount / 8;
  const std::size_t rowBytes = bytesPerPixel * static_cast<std::size_t>(d.PictureWidth);
  auto* surface = static_cast<std::uint8_t*>(locked.lpSurface);
  std::int32_t lastSourceRow = -1;
  for (LONG y = 0; y < d.PictureHeight; ++y) {
    std::uint8_t* row = surface + y * locked.lPitch;
    const auto sourceRow = static_cast<std::int32_t>(y * height / d.PictureHeight);
    if (sourceRow == lastSourceRow) {
      std::memcpy(row, row - locked.lPitch, rowBytes);
      continue;
    }
    const std::uint8_t* source = pixels + sourceRow * width;
    for (LONG x = 0; x < d.PictureWidth; ++x) {
      // The pixel's bytes, low byte first, as the surface stores them.
      std::memcpy(row + static_cast<std::size_t>(x) * bytesPerPixel,
                  &colours[source[d.SourceColumns[static_cast<std::size_t>(x)]]], bytesPerPixel);
    }
    lastSourceRow = sourceRow;
  }
  d.Picture->Unlock(nullptr);
  return true;
}

bool PresentIndexedPicture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           const FullScreenPaletteEntry* palette) {
  FullScreenObjects& d = FullScreenDisplay;
  if (d.Primary == nullptr || width <= 0 || height <= 0) return false;
  const std::size_t count = static_cast<std::size_t>(width) * height;
  if (d.ShownValid && !Win32.WindowDamaged && d.Shown.size() == count &&
      std::memcmp(d.Shown.data(), pixels, count) == 0 &&
      std::memcmp(d.ShownPalette, palette, sizeof d.ShownPalette) == 0) {
    return true;
  }
  // Surfaces are lost when the display changes under them (another program's mode switch, the
  // lock screen); Restore gives their memory back, and the picture is drawn into it again.
  if (d.Primary->IsLost() == DDERR_SURFACELOST) d.Primary->Restore();
  if (d.Picture != nullptr && d.Picture->IsLost() == DDERR_SURFACELOST) d.Picture->Restore();
  RECT target;
  RECT bars[2];
  PlacePicture(width, height, target, bars);
  if (target.right <= target.left || target.bottom <= target.top ||
      !PreparePictureSurface(target.right - target.left, target.bottom - target.top) ||
      !DrawScaledPicture(pixels, width, height, palette)) {
    return false;
  }
  DDBLTFX black = {};
  black.dwSize = sizeof black;
  for (RECT& bar : bars) {
    if (bar.right > bar.left && bar.bottom > bar.top) {
      d.Primary->Blt(&bar, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &black);
    }
  }
  if (FAILED(d.Primary->Blt(&target, d.Picture, nullptr, DDBLT_WAIT, nullptr))) return false;
  d.Shown.assign(pixels, pixels + count);
  std::memcpy(d.ShownPalette, palette, sizeof d.ShownPalette);
  d.ShownValid = true;
  Win32.WindowDamaged = false;
  return true;
}

}  // namespace quillon::win32
