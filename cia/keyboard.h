// The C64 keyboard matrix and the host keys held, which the CIA1 scan and the joystick read.
#pragma once

#include <cstdint>

namespace quillon {

// Byte c is the column that CIA1 port A bit c selects; bit r is the key on port B bit r.
// A 0 bit is a held key.
extern std::uint8_t KeyMatrix[8];

// One byte per host virtual-key code, nonzero while that key is held.
extern std::uint8_t HostKeyDown[256];

inline constexpr int VirtualKeyF11 = 0x7A;
inline constexpr int VirtualKeyF12 = 0x7B;
inline constexpr int VirtualKeyScrollLock = 0x91;

// Bits 0-4: up, down, left, right, fire from the numeric keypad; 1 = released.
std::uint8_t JoystickRead();

}  // namespace quillon
