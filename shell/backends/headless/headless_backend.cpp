#include "backends/headless/headless_backend.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "platform/backend_pieces.h"
#include "platform/display_platform.h"
#include "platform/messages.h"
#include "platform/sound_platform.h"

namespace quillon {

HeadlessState Headless;

namespace {

// The window's client area is what is left inside the outer size after the frame.
constexpr std::int32_t DesktopWidth = 1920;
constexpr std::int32_t DesktopHeight = 1080;

void Record(const char* operation) { Headless.Operations.emplace_back(operation); }

bool RegisterMainWindowClass(const char*, WindowProcedure procedure) {
  Record("RegisterMainWindowClass");
  if (Headless.FailClassRegistration) return false;
  MainWindowProcedure = procedure;
  return true;
}

void LoadMainMenu(std::span<const MenuResource>) { Record("LoadMainMenu"); }

void SendSize() {
  SendToWindow(&Headless, MessageSize, 0,
                 static_cast<std::intptr_t>(((Headless.WindowHeight - WindowFrameHeight) << 16) |
                                            (Headless.WindowWidth - WindowFrameWidth)));
}

bool CreateMainWindow(const char*, const char* title, std::int32_t width, std::int32_t height) {
  Record("CreateMainWindow");
  if (Headless.FailWindowCreation) return false;
  Headless.WindowExists = true;
  Headless.WindowTitle = title;
  Headless.WindowWidth = width;
  Headless.WindowHeight = height;
  SendToWindow(&Headless, MessageCreate, 0, 0);
  SendSize();
  return true;
}

void ShowMainWindow(std::int32_t showCommand) {
  Record("ShowMainWindow");
  Headless.ShowCommand = showCommand;
  SendToWindow(&Headless, MessagePaint, 0, 0);
}

void DestroyMainWindow() {
  Record("DestroyMainWindow");
  if (!Headless.WindowExists) return;
  Headless.WindowExists = false;
  SendToWindow(&Headless, MessageDestroy, 0, 0);
}

void ReadClientSize(std::int32_t* width, std::int32_t* height) {
  *width = Headless.WindowExists ? Headless.WindowWidth - WindowFrameWidth : 0;
  *height = Headless.WindowExists ? Headless.WindowHeight - WindowFrameHeight : 0;
}

void SetMenuItemCheck(int, std::uint32_t, const char* text, bool checked) {
  Headless.MenuChanges.push_back(std::string(text) + (checked ? "=1" : "=0"));
}

void OpenPainter() {
  Record("OpenPainter");
  Headless.PainterOpen = true;
}

void ClosePainter() {
  Record("ClosePainter");
  Headless.PainterOpen = false;
}

void RequestRepaint() {
  ++Headless.RepaintRequests;
  std::lock_guard lock(Headless.QueueLock);
  Headless.RepaintPending = true;
}

void PaintPicture(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                  std::int32_t, std::int32_t) {
  ++Headless.Paints;
  if (pixels == nullptr) return;
  Headless.PaintedPixels.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
  Headless.PaintedWidth = width;
  Headless.PaintedHeight = height;
}

// As on Windows, a pending repaint comes as a paint message once the queue is otherwise empty.
bool TakeMessage(WindowMessage* message) {
  std::lock_guard lock(Headless.QueueLock);
  if (!Headless.Queue.empty()) {
    *message = Headless.Queue.front();
    Headless.Queue.pop_front();
    return true;
  }
  if (Headless.RepaintPending) {
    Headless.RepaintPending = false;
    *message = {&Headless, MessagePaint, 0, 0};
    return true;
  }
  return false;
}

void WaitMessage() {
  ++Headless.Waits;
  std::unique_lock lock(Headless.QueueLock);
  Headless.QueueSignal.wait(lock, [] { return !Headless.Queue.empty() || Headless.RepaintPending; });
}

void WakeMainLoop() { HeadlessPostMessage(MessageNull, 0, 0); }

void PostQuitMessage(std::int32_t exitCode) {
  HeadlessPostMessage(MessageQuit, static_cast<std::uintptr_t>(exitCode), 0);
}

std::intptr_t DefaultWindowProc(WindowHandle window, std::uint32_t message,
                                std::uintptr_t wParam, std::intptr_t lParam) {
  ++Headless.DefaultProcCalls;
  return CloseOnlyDefaultWindowProc(window, message, wParam, lParam);
}

void Sleep(std::uint32_t milliseconds) {
  ++Headless.Sleeps;
  Headless.SleptMilliseconds += milliseconds;
  if (Headless.RealTime) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

std::int64_t CounterFrequency() {
  if (!Headless.RealTime) return Headless.ManualFrequency;
  using Period = std::chrono::steady_clock::period;
  return Period::den / Period::num;
}

std::int64_t ReadCounter() {
  if (!Headless.RealTime) return Headless.ManualCounter.load();
  return std::chrono::steady_clock::now().time_since_epoch().count();
}

void StopPeriodicTimer() {
  if (!quillon::StopPeriodicTimer(Headless.Timer)) return;
  Record("StopPeriodicTimer");
  if (Headless.TimerStopped) Headless.TimerStopped();
}

bool StartPeriodicTimer(std::uint32_t periodMilliseconds, TimerCallback callback) {
  StopPeriodicTimer();
  Record("StartPeriodicTimer");
  quillon::StartPeriodicTimer(Headless.Timer, periodMilliseconds, callback);
  return true;
}

bool ChooseFile(const char* filter, char* path, std::size_t capacity) {
  // The filter is pairs of strings ended by an empty one; keep it whole for tests to read.
  const char* end = filter;
  while (*end != '\0') end += std::strlen(end) + 1;
  Headless.LastFilter.assign(filter, end);
  Headless.LastOfferedName = path;
  if (Headless.ChosenFile.empty() || Headless.ChosenFile.size() >= capacity) return false;
  std::memcpy(path, Headless.ChosenFile.c_str(), Headless.ChosenFile.size() + 1);
  return true;
}

bool TakeDroppedFile(std::uintptr_t, char* path, std::size_t capacity) {
  return Headless.DroppedFiles.Take(path, capacity);
}

void ShowAboutDialog() { ++Headless.AboutDialogs; }

bool ReadClipboardText(std::string* text) {
  if (Headless.ClipboardText.empty()) return false;
  *text = Headless.ClipboardText;
  return true;
}

void HoldOffScreenSaver(bool hold) { Headless.ScreenSaverHolds.push_back(hold); }

void ShowMessageBox(const char* text, const char* caption) {
  Headless.MessageBoxes.push_back(std::string(caption) + ": " + text);
  std::fprintf(stderr, "%s: %s\n", caption, text);
}

void ResizeMainWindow(std::int32_t outerWidth, std::int32_t outerHeight) {
  Headless.WindowWidth = outerWidth;
  Headless.WindowHeight = outerHeight;
  SendSize();
}

void ShowMouseCursor(bool visible) { Headless.CursorHidden += visible ? -1 : 1; }

DisplayMode ReadDesktopMode() { return {DesktopWidth, DesktopHeight, 32}; }

WindowRect ReadMainWindowRect() { return {0, 0, Headless.WindowWidth, Headless.WindowHeight}; }

void MoveMainWindow(const WindowRect& rect) {
  Headless.WindowWidth = rect.Right - rect.Left;
  Headless.WindowHeight = rect.Bottom - rect.Top;
  SendSize();
}

WindowPlacement ReadWindowPlacement() {
  if (!Headless.Maximized) {
    return {Headless.WindowWidth - WindowFrameWidth, Headless.WindowHeight - WindowFrameHeight,
            false};
  }
  return {Headless.NormalWidth - WindowFrameWidth, Headless.NormalHeight - WindowFrameHeight, true};
}

void MaximizeMainWindow() {
  if (Headless.Maximized) return;
  Headless.Maximized = true;
  Headless.NormalWidth = Headless.WindowWidth;
  Headless.NormalHeight = Headless.WindowHeight;
  Headless.WindowWidth = DesktopWidth;
  Headless.WindowHeight = DesktopHeight;
  SendSize();
}

bool AcquireFullScreen() {
  Headless.FullScreenHeld = Headless.FullScreenAvailable;
  return Headless.FullScreenHeld;
}

void ReleaseFullScreen() { Headless.FullScreenHeld = false; }

void SetDisplayMode(const DisplayMode&) {}

bool PresentIndexedPicture(const std::uint8_t* pixels, std::int32_t width, std::int32_t height,
                           const FullScreenPaletteEntry*) {
  ++Headless.FullScreenPresents;
  Headless.PresentedSurface.assign(pixels, pixels + static_cast<std::size_t>(width) * height);
  return true;
}

// No file asked for: no output, and the run is silent.
bool OpenSoundOutput(std::uint32_t sampleRate) {
  if (Headless.WavPath.empty()) return false;
  Headless.WavFailed = !WavOpen(Headless.Wav, Headless.WavPath, sampleRate);
  return !Headless.WavFailed;
}

void WriteSoundSamples(const std::int16_t* samples, std::int32_t count) {
  WavAppend(Headless.Wav, samples, count);
}

void CloseSoundOutput() {
  if (!WavClose(Headless.Wav)) Headless.WavFailed = true;
}

}  // namespace

void UseHeadlessBackend(bool realTime) {
  StopPeriodicTimer();
  WavClose(Headless.Wav);
  Headless.WavPath.clear();
  Headless.WavFailed = false;
  {
    std::lock_guard lock(Headless.QueueLock);
    Headless.Queue.clear();
    Headless.RepaintPending = false;
  }
  Headless.DroppedFiles.Clear();
  Headless.RealTime = realTime;
  Headless.ManualCounter = 0;
  Headless.ManualFrequency = HeadlessManualFrequency;
  Headless.TimerStopped = nullptr;
  Headless.FailClassRegistration = false;
  Headless.FailWindowCreation = false;
  Headless.WindowExists = false;
  Headless.WindowTitle.clear();
  Headless.WindowWidth = Headless.WindowHeight = Headless.ShowCommand = 0;
  Headless.Maximized = false;
  Headless.NormalWidth = Headless.NormalHeight = 0;
  Headless.PainterOpen = false;
  Headless.RepaintRequests = Headless.Paints = Headless.Sleeps = Headless.Waits = 0;
  Headless.SleptMilliseconds = 0;
  Headless.DefaultProcCalls = Headless.AboutDialogs = 0;
  Headless.MessageBoxes.clear();
  Headless.MenuChanges.clear();
  Headless.Operations.clear();
  Headless.ChosenFile.clear();
  Headless.LastFilter.clear();
  Headless.LastOfferedName.clear();
  Headless.PaintedPixels.clear();
  Headless.PaintedWidth = Headless.PaintedHeight = 0;
  Headless.FullScreenAvailable = true;
  Headless.FullScreenHeld = false;
  Headless.FullScreenPresents = 0;
  Headless.PresentedSurface.clear();
  Headless.CursorHidden = 0;
  Headless.ClipboardText.clear();
  Headless.ScreenSaverHolds.clear();

  Platform = {
      .RegisterMainWindowClass = RegisterMainWindowClass,
      .LoadMainMenu = LoadMainMenu,
      .CreateMainWindow = CreateMainWindow,
      .ShowMainWindow = ShowMainWindow,
      .DestroyMainWindow = DestroyMainWindow,
      .ReadClientSize = ReadClientSize,
      .SetMenuItemCheck = SetMenuItemCheck,
      .OpenPainter = OpenPainter,
      .ClosePainter = ClosePainter,
      .RequestRepaint = RequestRepaint,
      .PaintPicture = PaintPicture,
      .TakeMessage = TakeMessage,
      .DeliverMessage = DeliverToWindow,
      .WaitMessage = WaitMessage,
      .PostQuitMessage = PostQuitMessage,
      .DefaultWindowProc = DefaultWindowProc,
      .Sleep = Sleep,
      .CounterFrequency = CounterFrequency,
      .ReadCounter = ReadCounter,
      .StartPeriodicTimer = StartPeriodicTimer,
      .StopPeriodicTimer = StopPeriodicTimer,
      .ChooseFile = ChooseFile,
      .ChooseSaveFile = ChooseFile,
      .ShowAboutDialog = ShowAboutDialog,
      .ShowMessageBox = ShowMessageBox,
      .ReadClipboardText = ReadClipboardText,
      .HoldOffScreenSaver = HoldOffScreenSaver,
      .TakeDroppedFile = TakeDroppedFile,
      .WakeMainLoop = WakeMainLoop,
  };
  DisplayPlatform = {
      .ResizeMainWindow = ResizeMainWindow,
      .ShowMouseCursor = ShowMouseCursor,
      .ReadDesktopMode = ReadDesktopMode,
      .ReadMainWindowRect = ReadMainWindowRect,
      .MoveMainWindow = MoveMainWindow,
      .ReadWindowPlacement = ReadWindowPlacement,
      .MaximizeMainWindow = MaximizeMainWindow,
      .AcquireFullScreen = AcquireFullScreen,
      .ReleaseFullScreen = ReleaseFullScreen,
      .SetDisplayMode = SetDisplayMode,
      .PresentIndexedPicture = PresentIndexedPicture,
      .CreatePictureBuffer = nullptr,
      .FreePictureBuffer = nullptr,
  };
  SoundPlatform = {
      .OpenSoundOutput = OpenSoundOutput,
      .WriteSoundSamples = WriteSoundSamples,
      .CloseSoundOutput = CloseSoundOutput,
  };
}

void HeadlessAdvanceCounter(std::int64_t counts) { Headless.ManualCounter += counts; }

void HeadlessPostMessage(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  {
    std::lock_guard lock(Headless.QueueLock);
    Headless.Queue.push_back({&Headless, message, wParam, lParam});
  }
  Headless.QueueSignal.notify_all();
}

void HeadlessDropFile(const std::string& path) {
  Headless.DroppedFiles.Add(path);
  HeadlessPostMessage(MessageDropFiles, 0, 0);
}

}  // namespace quillon
