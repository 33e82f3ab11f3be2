// The bits of the 6510's status register P, which both models' processors and the shell's
// register views name.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr std::uint8_t FlagN = 0x80;
inline constexpr std::uint8_t FlagV = 0x40;
inline constexpr std::uint8_t FlagUnused = 0x20;
inline constexpr std::uint8_t FlagB = 0x10;
inline constexpr std::uint8_t FlagD = 0x08;
inline constexpr std::uint8_t FlagI = 0x04;
inline constexpr std::uint8_t FlagZ = 0x02;
inline constexpr std::uint8_t FlagC = 0x01;

}  // namespace quillon
