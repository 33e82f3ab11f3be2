// The SID's register file, its three voice generators and their envelopes.
#pragma once

#include <atomic>
#include <cstdint>

namespace quillon {

// Bit v set: voice v is mixed and its envelope stepped. Changed by the emulation thread (gate
// on, the CPU's reset trap) and by the mixer's timer thread (end of release), always in one
// atomic operation.
extern std::atomic<std::uint32_t> ActiveVoices;
inline constexpr std::uint32_t AllVoicesMask = 0x7;

std::uint8_t SidRead(std::uint8_t index);
void SidWrite(std::uint8_t index, std::uint8_t value);

// Zeroes the register file; the voices keep running.
void SidHardReset();

}  // namespace quillon
