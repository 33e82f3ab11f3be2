// A periodic callback on a thread of its own, as the sound timer needs it: started with a
// period, stopped by joining the thread, so that no call runs or follows once Stop returns.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace quillon {

struct PeriodicTimer {
  std::thread Thread;
  std::mutex Lock;
  std::condition_variable Signal;
  bool StopRequested = false;
  bool Running = false;
};

// Calls `callback` every `periodMilliseconds`, first one period after the start, on a new
// thread. A timer that is running is stopped first.
void StartPeriodicTimer(PeriodicTimer& timer, std::uint32_t periodMilliseconds,
                        void (*callback)());
// Returns once the thread has ended. False when the timer was not running.
bool StopPeriodicTimer(PeriodicTimer& timer);

}  // namespace quillon
