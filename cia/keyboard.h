// The C64 keyboard matrix, the host keys held, and the joystick that the host keys drive: all
// read by CIA1, the keyboard and joystick 1 on port B, joystick 2 on port A.
#pragma once

#include <cstdint>

namespace quillon {

// Byte c is the column that CIA1 port A bit c selects; bit r is the key on port B bit r.
// A 0 bit is a held key.
extern std::uint8_t KeyMatrix[8];

// One byte per host virtual-key code, nonzero while that key is held.
extern std::uint8_t HostKeyDown[256];

// The control port the joystick is plugged into (1 or 2, 2 at start), and whether the cursor
// keys with right Ctrl drive it as well as the numeric keypad (0 at start).
extern std::uint8_t JoystickPort;
extern std::uint8_t JoystickOnCursorKeys;

inline constexpr int VirtualKeyLeft = 0x25;
inline constexpr int VirtualKeyUp = 0x26;
inline constexpr int VirtualKeyRight = 0x27;
inline constexpr int VirtualKeyDown = 0x28;
inline constexpr int VirtualKeyF11 = 0x7A;
inline constexpr int VirtualKeyF12 = 0x7B;
inline constexpr int VirtualKeyScrollLock = 0x91;
inline constexpr int VirtualKeyNumpad0 = 0x60;
inline constexpr int VirtualKeyNumpad2 = 0x62;
inline constexpr int VirtualKeyNumpad4 = 0x64;
inline constexpr int VirtualKeyNumpad6 = 0x66;
inline constexpr int VirtualKeyNumpad8 = 0x68;
inline constexpr int VirtualKeyRightControl = 0xA3;

// Whether `virtualKey` drives the joystick under the present key set.
bool IsJoystickKey(int virtualKey);

// Bits 0-4: up, down, left, right, fire of the host's joystick; 1 = released.
std::uint8_t JoystickState();

// What the joystick puts on CIA1 port A (control port 2): JoystickState() while it is plugged
// into port 2, otherwise $1F.
std::uint8_t JoystickRead();

// The rows read on CIA1 port B with `columnSelect` on port A: 0 bits select columns, and the
// held keys of all selected columns show together. A joystick in port 1 pulls its lines of
// port B low whatever is selected.
std::uint8_t KeyboardScan(std::uint8_t columnSelect);

}  // namespace quillon
