#include "cia/keyboard.h"

namespace quillon {

std::uint8_t KeyMatrix[8] = {};
std::uint8_t JoystickLines[2] = {JoystickReleased, JoystickReleased};
KeyboardScans KeyboardReads = {};

std::uint8_t KeyboardScan(std::uint8_t columnSelect) {
  // A column is driven when its port A line is low; every held key of a driven column pulls
  // its row line low, so the selected columns combine by AND.
  std::uint8_t rows = 0xFF;
  for (int column = 0; column < 8; ++column) {
    if (!(columnSelect & (1u << column))) rows &= KeyMatrix[column];
  }
  return static_cast<std::uint8_t>(rows & (0xE0 | JoystickLines[0]));
}

}  // namespace quillon
