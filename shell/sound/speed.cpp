#include "sound/speed.h"

#include "session/host_state.h"
#include "session/session.h"

namespace quillon {

namespace {
constexpr std::int32_t MaxFrameSkip = 10;
}  // namespace

void UpdateSpeed() {
  // Take the cycles and clear the count in one go: the emulation thread keeps adding to it.
  const std::int32_t steps = CurrentMachine().TakeCycleCount();
  // No divisor yet (the sound is not set up) reads as standing still rather than dividing by 0.
  const std::int32_t divisor = Host.SpeedDivisor;
  const std::int32_t speed = divisor != 0 ? steps / divisor : 0;
  Host.SpeedPercent.store(speed, std::memory_order_relaxed);
  // Faster than real time counts the readout down by one, otherwise up by one, within 0..10.
  std::int32_t skip = Host.FrameSkip.load(std::memory_order_relaxed) + 1;
  if (speed > 100) {
    skip -= 2;
    if (skip < 0) skip = 0;
  } else if (skip > MaxFrameSkip) {
    skip = MaxFrameSkip;
  }
  Host.FrameSkip.store(skip, std::memory_order_relaxed);
}

}  // namespace quillon
