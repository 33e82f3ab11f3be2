#include "cia/keyboard.h"

namespace quillon {

std::uint8_t KeyMatrix[8] = {};
std::uint8_t HostKeyDown[256] = {};
std::uint8_t JoystickPort = 2;
std::uint8_t JoystickOnCursorKeys = 0;

namespace {

// Joystick bits 0-4 in order: up, down, left, right, fire; on the numeric keypad, and on the
// cursor keys with right Ctrl for keyboards without a keypad.
constexpr int KeypadKeys[5] = {VirtualKeyNumpad8, VirtualKeyNumpad2, VirtualKeyNumpad4,
                               VirtualKeyNumpad6, VirtualKeyNumpad0};
constexpr int CursorKeys[5] = {VirtualKeyUp, VirtualKeyDown, VirtualKeyLeft, VirtualKeyRight,
                               VirtualKeyRightControl};

}  // namespace

bool IsJoystickKey(int virtualKey) {
  for (int bit = 0; bit < 5; ++bit) {
    if (virtualKey == KeypadKeys[bit]) return true;
    if (JoystickOnCursorKeys && virtualKey == CursorKeys[bit]) return true;
  }
  return false;
}

std::uint8_t JoystickState() {
  std::uint8_t value = 0x1F;
  for (int bit = 0; bit < 5; ++bit) {
    const bool held = HostKeyDown[KeypadKeys[bit]] ||
                      (JoystickOnCursorKeys && HostKeyDown[CursorKeys[bit]]);
    if (held) value &= static_cast<std::uint8_t>(~(1u << bit));
  }
  return value;
}

std::uint8_t JoystickRead() { return JoystickPort == 2 ? JoystickState() : 0x1F; }

std::uint8_t KeyboardScan(std::uint8_t columnSelect) {
  // A column is driven when its port A line is low; every held key of a driven column pulls
  // its row line low, so the selected columns combine by AND.
  std::uint8_t rows = 0xFF;
  for (int column = 0; column < 8; ++column) {
    if (!(columnSelect & (1u << column))) rows &= KeyMatrix[column];
  }
  if (JoystickPort == 1) rows &= static_cast<std::uint8_t>(0xE0 | JoystickState());
  return rows;
}

}  // namespace quillon
