#include "window/display.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "debug/status_line.h"
#include "debug/trace_view.h"
#include "keyboard/host_keys.h"
#include "platform/messages.h"
#include "session/host_state.h"
#include "session/session.h"

namespace quillon {

DisplayPlatformOps DisplayPlatform = {};
FullScreenState FullScreen = {};

namespace {

constexpr DisplayMode FullScreenMode = {FullScreenWidth, FullScreenHeight, 8};
// A flip that keeps failing (the display was taken away) is given up for this pass.
constexpr int PresentAttempts = 4;
constexpr std::uint8_t ColourMask = 0x0F;

std::vector<std::uint32_t> DisplayBuffer;

void SetCursorVisible(bool visible) {
  if (DisplayPlatform.ShowMouseCursor != nullptr) DisplayPlatform.ShowMouseCursor(visible);
}

void ConvertPixels(const std::uint8_t* source, int count, std::uint32_t* target) {
  for (int x = 0; x < count; ++x) target[x] = Palette[source[x] & ColourMask];
}

void ConvertRow(const std::uint8_t* source, std::uint32_t* target) {
  ConvertPixels(source, PictureWidth, target);
}

// A bordered row from the machine's bordered picture; the display window's part, which the
// shell may have drawn over, from `window` (null outside the window).
void ConvertBorderedRow(const std::uint8_t* bordered, const std::uint8_t* window,
                        std::uint32_t* target) {
  if (window == nullptr) {
    ConvertPixels(bordered, BorderedWidth, target);
    return;
  }
  ConvertPixels(bordered, BorderSize, target);
  ConvertRow(window, target + BorderSize);
  ConvertPixels(bordered + BorderSize + PictureWidth, BorderSize,
                target + BorderSize + PictureWidth);
}

}  // namespace

void CreateDisplayBuffer() {
  const bool border = Host.ShowBorder != 0;
  Host.PictureWidth = border ? BorderedWidth : PictureWidth;
  Host.PictureHeight = border ? BorderedHeight : PictureHeight;
  FreeDisplayBuffer();
  if (DisplayPlatform.CreatePictureBuffer != nullptr) {
    Host.DisplayPixels = DisplayPlatform.CreatePictureBuffer(Host.PictureWidth, Host.PictureHeight);
  }
  if (Host.DisplayPixels == nullptr) {
    DisplayBuffer.assign(static_cast<std::size_t>(Host.PictureWidth) * Host.PictureHeight, 0);
    Host.DisplayPixels = DisplayBuffer.data();
  }
  if (DisplayPlatform.ResizeMainWindow != nullptr) {
    DisplayPlatform.ResizeMainWindow(Host.PictureWidth + WindowFrameWidth,
                                     Host.PictureHeight + WindowFrameHeight);
  }
}

void FreeDisplayBuffer() {
  if (DisplayPlatform.FreePictureBuffer != nullptr) DisplayPlatform.FreePictureBuffer();
  std::vector<std::uint32_t>().swap(DisplayBuffer);
  Host.DisplayPixels = nullptr;
}

void ConvertFrame(std::uint32_t* pixels) {
  Machine& machine = CurrentMachine();
  if (HostKeyDown[VirtualKeyF12] || Host.TraceMode) {
    DrawTraceView(machine.Registers());
    DrawStatusLine(Host.SpeedPercent.load(std::memory_order_relaxed),
                   Host.FrameSkip.load(std::memory_order_relaxed));
  }
  const std::uint8_t* picture = machine.Picture();
  if (pixels == nullptr || picture == nullptr) return;
  // The buffer's own size says whether it has room for the border. Rows are stored bottom-up.
  const std::int32_t width = Host.PictureWidth;
  const std::int32_t height = Host.PictureHeight;
  if (width == PictureWidth && height == PictureHeight) {
    for (int y = 0; y < PictureHeight; ++y) {
      ConvertRow(picture + y * PictureWidth, pixels + (PictureHeight - 1 - y) * PictureWidth);
    }
    return;
  }
  if (width != BorderedWidth || height != BorderedHeight) return;
  // A model that draws its border pixel by pixel gives it whole; the window's pixels still come
  // from Picture(), where the shell draws its text.
  const std::uint8_t* bordered = machine.BorderedPicture();
  for (int r = 0; r < BorderedHeight; ++r) {
    std::uint32_t* row = pixels + (BorderedHeight - 1 - r) * BorderedWidth;
    const int y = r - BorderSize;
    const bool inWindow = y >= 0 && y < PictureHeight;
    if (bordered != nullptr) {
      ConvertBorderedRow(bordered + r * BorderedWidth,
                         inWindow ? picture + y * PictureWidth : nullptr, row);
      continue;
    }
    const std::uint32_t border = Palette[machine.LineBorderColors()[r + FirstBorderedLine] &
                                         ColourMask];
    if (!inWindow) {
      std::fill_n(row, BorderedWidth, border);
      continue;
    }
    std::fill_n(row, BorderSize, border);
    ConvertRow(picture + y * PictureWidth, row + BorderSize);
    std::fill_n(row + BorderSize + PictureWidth, BorderSize, border);
  }
}

bool EnterFullScreen() {
  SetCursorVisible(false);
  if (DisplayPlatform.ReadDesktopMode != nullptr) {
    FullScreen.SavedMode = DisplayPlatform.ReadDesktopMode();
  }
  if (DisplayPlatform.ReadMainWindowRect != nullptr) {
    FullScreen.SavedWindowRect = DisplayPlatform.ReadMainWindowRect();
  }
  // Without the display to ourselves there is no full screen: stay in the window.
  if (DisplayPlatform.AcquireFullScreen == nullptr || !DisplayPlatform.AcquireFullScreen()) {
    SetCursorVisible(true);
    return false;
  }
  if (DisplayPlatform.SetDisplayMode != nullptr) DisplayPlatform.SetDisplayMode(FullScreenMode);
  return true;
}

void CreateFlipChain() {
  std::memset(FullScreen.Surface, 0, sizeof FullScreen.Surface);
  CurrentMachine().SetPictureTarget(FullScreen.Surface);
}

void CreateFullScreenPalette() {
  for (int i = 0; i < FullScreenPaletteSize; ++i) {
    const std::uint32_t colour = i < 16 ? Palette[i] : 0;
    FullScreen.PaletteEntries[i] = {.Red = static_cast<std::uint8_t>(colour >> 16),
                                    .Green = static_cast<std::uint8_t>(colour >> 8),
                                    .Blue = static_cast<std::uint8_t>(colour),
                                    .Flags = 0};
  }
}

void PresentFullScreen() {
  if (DisplayPlatform.PresentIndexedPicture == nullptr) return;
  for (int attempt = 0; attempt < PresentAttempts; ++attempt) {
    if (DisplayPlatform.PresentIndexedPicture(FullScreen.Surface, FullScreenWidth,
                                              FullScreenHeight, FullScreen.PaletteEntries)) {
      return;
    }
  }
}

void LeaveFullScreen() {
  CurrentMachine().SetPictureTarget(nullptr);
  if (DisplayPlatform.SetDisplayMode != nullptr) {
    DisplayPlatform.SetDisplayMode(FullScreen.SavedMode);
  }
  if (DisplayPlatform.ReleaseFullScreen != nullptr) DisplayPlatform.ReleaseFullScreen();
  if (DisplayPlatform.MoveMainWindow != nullptr) {
    DisplayPlatform.MoveMainWindow(FullScreen.SavedWindowRect);
  }
  SetCursorVisible(true);
}

}  // namespace quillon
