// The C64 keyboard matrix and the two joysticks, as CIA 1 reads them: the keyboard and joystick
// 1 on port B, joystick 2 on port A.
#pragma once

#include <cstdint>

#include "interface/keyboard_scans.h"

namespace quillon {

// Byte c is the column that CIA1 port A bit c selects; bit r is the key on port B bit r.
// A 0 bit is a held key.
extern std::uint8_t KeyMatrix[8];

// The lines of the joysticks in control ports 1 and 2 (index 0 and 1): bits 0-4 up, down, left,
// right, fire; a 1 bit is released. $1F while nothing is plugged in or pushed.
inline constexpr std::uint8_t JoystickReleased = 0x1F;
extern std::uint8_t JoystickLines[2];

// The CPU's reads of CIA1 port B, the key matrix's rows, in scans, by the step
// (CycleCounters.Clock) of each read.
extern KeyboardScans KeyboardReads;

// What the joystick in control port 2 puts on CIA1 port A.
inline std::uint8_t JoystickRead() { return JoystickLines[1]; }

// The rows read on CIA1 port B with `columnSelect` on port A: 0 bits select columns, and the
// held keys of all selected columns show together. The joystick in port 1 pulls its lines of
// port B low whatever is selected.
std::uint8_t KeyboardScan(std::uint8_t columnSelect);

}  // namespace quillon
