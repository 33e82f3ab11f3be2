// Time on Windows: the high-resolution performance counter for the pacing, Sleep, and the
// multimedia timer whose callback runs the sound tick on a thread of its own.
#include <windows.h>
// After windows.h, which it builds on.
#include <mmsystem.h>

#include <cstdint>

#include "platform/platform.h"
#include "backends/win32/win32_state.h"

namespace quillon::win32 {

// The system clock's finest step, asked for while the program runs: the multimedia timer's
// 50 ms and the main loop's 2 ms sleep both need it, where the system's default step is about
// 15.6 ms.
constexpr UINT ClockResolutionMilliseconds = 1;

struct SoundTimerState {
  UINT Id;
  // Held while a tick runs; stopping takes it, so that no tick is running once Stop returns
  // and a tick that the system was about to deliver finds no callback.
  CRITICAL_SECTION Lock;
  bool LockReady;
  TimerCallback Callback;
};
SoundTimerState SoundTimer;

void CALLBACK SoundTimerProc(UINT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
  EnterCriticalSection(&SoundTimer.Lock);
  if (SoundTimer.Callback != nullptr) SoundTimer.Callback();
  LeaveCriticalSection(&SoundTimer.Lock);
}

void SleepFor(std::uint32_t milliseconds) { Sleep(milliseconds); }

std::int64_t CounterFrequency() {
  LARGE_INTEGER frequency;
  return QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
}

std::int64_t ReadCounter() {
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

void StopTimer() {
  if (SoundTimer.Id == 0) return;
  timeKillEvent(SoundTimer.Id);
  SoundTimer.Id = 0;
  EnterCriticalSection(&SoundTimer.Lock);
  SoundTimer.Callback = nullptr;
  LeaveCriticalSection(&SoundTimer.Lock);
  timeEndPeriod(ClockResolutionMilliseconds);
}

bool StartTimer(std::uint32_t periodMilliseconds, TimerCallback callback) {
  StopTimer();
  if (!SoundTimer.LockReady) {
    InitializeCriticalSection(&SoundTimer.Lock);
    SoundTimer.LockReady = true;
  }
  SoundTimer.Callback = callback;
  timeBeginPeriod(ClockResolutionMilliseconds);
  // Periodic, with the greatest accuracy the system has (resolution 0); once killed, no further
  // call is made.
  SoundTimer.Id = timeSetEvent(periodMilliseconds, 0, SoundTimerProc, 0,
                               TIME_PERIODIC | TIME_CALLBACK_FUNCTION | TIME_KILL_SYNCHRONOUS);
  if (SoundTimer.Id == 0) {
    SoundTimer.Callback = nullptr;
    timeEndPeriod(ClockResolutionMilliseconds);
    return false;
  }
  return true;
}

}  // namespace quillon::win32
