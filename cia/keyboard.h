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
inline constexpr int VirtualKeyNumpad0 = 0x60;
inline constexpr int VirtualKeyNumpad2 = 0x62;
inline constexpr int VirtualKeyNumpad4 = 0x64;
inline constexpr int VirtualKeyNumpad6 = 0x66;
inline constexpr int VirtualKeyNumpad8 = 0x68;

// Bits 0-4: up, down, left, right, fire from the numeric keypad; 1 = released.
std::uint8_t JoystickRead();

// The rows read on CIA1 port B with `columnSelect` on port A: 0 bits select columns, and the
// held keys of all selected columns show together.
std::uint8_t KeyboardScan(std::uint8_t columnSelect);

}  // namespace quillon
