#include "cia/keyboard.h"

namespace quillon {

std::uint8_t KeyMatrix[8] = {};
std::uint8_t HostKeyDown[256] = {};

namespace {

// Joystick bits 0-4 in order: up, down, left, right, fire on the numeric keypad.
constexpr int JoystickKeys[5] = {VirtualKeyNumpad8, VirtualKeyNumpad2, VirtualKeyNumpad4,
                                 VirtualKeyNumpad6, VirtualKeyNumpad0};

}  // namespace

std::uint8_t JoystickRead() {
  std::uint8_t value = 0x1F;
  for (int bit = 0; bit < 5; ++bit) {
    if (HostKeyDown[JoystickKeys[bit]]) value &= static_cast<std::uint8_t>(~(1u << bit));
  }
  return value;
}

std::uint8_t KeyboardScan(std::uint8_t columnSelect) {
  // A column is driven when its port A line is low; every held key of a driven column pulls
  // its row line low, so the selected columns combine by AND.
  std::uint8_t rows = 0xFF;
  for (int column = 0; column < 8; ++column) {
    if (!(columnSelect & (1u << column))) rows &= KeyMatrix[column];
  }
  return rows;
}

}  // namespace quillon
