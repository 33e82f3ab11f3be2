#include "session/host_state.h"

namespace quillon {

HostState Host = {.Paused{0}, .TraceMode{0}, .MonitorStopped{0}, .Warp{0}, .SoundOn{1}, .ShowBorder = 1,
                  .FullScreenActive = 0, .ShiftHeld = 0, .SpeedPercent{0}, .FrameSkip{1},
                  .SpeedDivisor = 0,
                  .PictureWidth = 0, .PictureHeight = 0, .DisplayPixels = nullptr,
                  .ClientWidth = 0, .ClientHeight = 0, .CounterFrequency = 0, .LastTick = 0};

}  // namespace quillon
