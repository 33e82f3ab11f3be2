// Waveform tables and the timer-driven sample mixer.
#pragma once

#include <cstdint>

namespace quillon {

std::int32_t SidInit(std::uint32_t sampleRate, std::uint32_t ticksPerSecond);
std::int32_t SoundStart();

}  // namespace quillon
