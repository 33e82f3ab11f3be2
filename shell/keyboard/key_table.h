// The host keyboard as the C64 keyboard: for each host virtual-key code, the C64 key positions
// that it presses, with Shift not held and with Shift held, and those that its release lets go.
#pragma once

#include <cstdint>

namespace quillon {

// A key position: column (KeyMatrix byte) times 8 plus row (bit).
constexpr std::uint8_t KeyAt(int column, int row) {
  return static_cast<std::uint8_t>(column * 8 + row);
}
inline constexpr std::uint8_t NoKey = 0xFF;
inline constexpr std::uint8_t LeftShiftKey = KeyAt(1, 7);
inline constexpr std::uint8_t RightShiftKey = KeyAt(6, 4);
inline constexpr std::uint8_t ControlKey = KeyAt(7, 2);
inline constexpr std::uint8_t CommodoreKey = KeyAt(7, 5);
// Both SHIFT keys at once: what a key lets go of when the C64 key it gives needs no Shift.
inline constexpr std::uint8_t EitherShiftKey = 0xFE;

struct KeyEffect {
  std::uint8_t Press[2];    // positions the key-down presses
  std::uint8_t Release;     // a position the key-down lets go (the C64 key needs no Shift)
  std::uint8_t KeyUp[2];    // positions the key-up lets go
};

struct KeyTableRow {
  std::uint8_t VirtualKey;
  KeyEffect Plain;    // Shift not held
  KeyEffect Shifted;  // Shift held
};

// The row of `virtualKey`, or null for a key that presses nothing on the C64.
const KeyTableRow* FindKeyRow(int virtualKey);

// Applies the key-down or key-up of `virtualKey` to KeyMatrix for the given Shift state.
void ApplyKeyDown(int virtualKey, bool shiftHeld);
void ApplyKeyUp(int virtualKey, bool shiftHeld);

// Holds or lets go of the key at `position` (a KeyAt value, NoKey or EitherShiftKey).
void PressKey(std::uint8_t position);
void ReleaseKey(std::uint8_t position);

}  // namespace quillon
