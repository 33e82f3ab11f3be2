#include "platform/periodic_timer.h"

#include <chrono>

namespace quillon {

void StartPeriodicTimer(PeriodicTimer& timer, std::uint32_t periodMilliseconds,
                        void (*callback)()) {
  StopPeriodicTimer(timer);
  timer.StopRequested = false;
  timer.Running = true;
  timer.Thread = std::thread([&timer, periodMilliseconds, callback] {
    const auto period = std::chrono::milliseconds(periodMilliseconds);
    // Due times follow from the start, so a late call does not push back the ones after it.
    auto due = std::chrono::steady_clock::now() + period;
    std::unique_lock lock(timer.Lock);
    while (!timer.Signal.wait_until(lock, due, [&timer] { return timer.StopRequested; })) {
      lock.unlock();
      callback();
      lock.lock();
      due += period;
    }
  });
}

bool StopPeriodicTimer(PeriodicTimer& timer) {
  {
    std::lock_guard lock(timer.Lock);
    if (!timer.Running) return false;
    timer.StopRequested = true;
  }
  timer.Signal.notify_all();
  timer.Thread.join();
  timer.Running = false;
  return true;
}

}  // namespace quillon
