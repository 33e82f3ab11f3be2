#include "debug/screen_text.h"

#include "session/session.h"

namespace quillon {
namespace {

char ScreenCodeText(std::uint8_t code) {
  code &= 0x7F;  // reversed characters read as their plain form
  if (code == 0) return '@';
  if (code <= 26) return static_cast<char>('A' + code - 1);
  if (code == 27) return '[';
  if (code == 29) return ']';
  if (code == 30) return '^';
  if (code >= 32 && code < 64) return static_cast<char>(code);
  return '?';
}

}  // namespace

std::vector<std::string> ScreenRows(std::uint16_t screenAddress) {
  const std::uint8_t* ram = CurrentMachine().Ram();
  std::vector<std::string> rows;
  for (int row = 0; row < 25; ++row) {
    std::string text;
    for (int column = 0; column < 40; ++column) {
      text += ScreenCodeText(ram[(screenAddress + row * 40 + column) & 0xFFFF]);
    }
    text.erase(text.find_last_not_of(' ') + 1);
    rows.push_back(text);
  }
  return rows;
}

}  // namespace quillon
