#include "keyboard/key_table.h"

#include <array>

#include "platform/messages.h"
#include "session/session.h"

namespace quillon {
namespace {

constexpr std::uint8_t Shift = LeftShiftKey;
constexpr std::uint8_t AnyShift = EitherShiftKey;

// A key that presses `first` (and `second`) and releases what it pressed.
constexpr KeyEffect Keys(std::uint8_t first, std::uint8_t second = NoKey) {
  return {{first, second}, NoKey, {first, second}};
}

// The same effect with Shift held as without.
constexpr KeyTableRow Same(int virtualKey, KeyEffect effect) {
  return {static_cast<std::uint8_t>(virtualKey), effect, effect};
}

constexpr KeyTableRow Row(int virtualKey, KeyEffect plain, KeyEffect shifted) {
  return {static_cast<std::uint8_t>(virtualKey), plain, shifted};
}

constexpr KeyTableRow Letter(char letter, std::uint8_t position) {
  return Same(letter, Keys(position));
}

constexpr KeyTableRow Rows[] = {
    Same(VirtualKeyBack, Keys(KeyAt(0, 0))),
    Same(VirtualKeyTab, Keys(CommodoreKey)),
    Same(VirtualKeyReturn, Keys(KeyAt(0, 1))),
    Same(VirtualKeyShift, Keys(Shift)),
    Same(VirtualKeyRightShift, Keys(RightShiftKey)),
    Same(VirtualKeyControl, Keys(ControlKey)),
    Same(VirtualKeyRightControl, Keys(ControlKey)),
    Same(VirtualKeyPause, Keys(KeyAt(7, 7))),
    // Esc is RUN/STOP too, for keyboards without Pause; in full screen it leaves full screen.
    Same(VirtualKeyEscape, Keys(KeyAt(7, 7))),
    Same(VirtualKeySpace, Keys(KeyAt(7, 4))),
    Same(VirtualKeyHome, Keys(KeyAt(6, 3))),
    // The C64 has one key per cursor axis; Shift turns it to left or up.
    Same(VirtualKeyLeft, Keys(KeyAt(0, 2), Shift)),
    Same(VirtualKeyUp, Keys(KeyAt(0, 7), Shift)),
    Same(VirtualKeyRight, Keys(KeyAt(0, 2))),
    Same(VirtualKeyDown, Keys(KeyAt(0, 7))),
    Same(VirtualKeyInsert, Keys(KeyAt(0, 0), Shift)),
    Same(VirtualKeyDelete, Keys(KeyAt(0, 0))),
    // The digit row: shifted symbols sit on other C64 keys than on a PC keyboard.
    Row('0', Keys(KeyAt(4, 3)), Keys(KeyAt(4, 0), Shift)),
    Row('1', Keys(KeyAt(7, 0)), Keys(KeyAt(7, 0), Shift)),
    Row('2', Keys(KeyAt(7, 3)), {{KeyAt(5, 6), NoKey}, AnyShift, {KeyAt(5, 6), NoKey}}),
    Row('3', Keys(KeyAt(1, 0)), Keys(KeyAt(1, 0), Shift)),
    Row('4', Keys(KeyAt(1, 3)), Keys(KeyAt(1, 3), Shift)),
    Row('5', Keys(KeyAt(2, 0)), Keys(KeyAt(2, 0), Shift)),
    Row('6', Keys(KeyAt(2, 3)), Keys(KeyAt(6, 6))),
    Row('7', Keys(KeyAt(3, 0)), Keys(KeyAt(2, 3), Shift)),
    Same('8', Keys(KeyAt(3, 3))),
    Row('9', Keys(KeyAt(4, 0)), Keys(KeyAt(3, 3), Shift)),
    Letter('A', KeyAt(1, 2)), Letter('B', KeyAt(3, 4)), Letter('C', KeyAt(2, 4)),
    Letter('D', KeyAt(2, 2)), Letter('E', KeyAt(1, 6)), Letter('F', KeyAt(2, 5)),
    Letter('G', KeyAt(3, 2)), Letter('H', KeyAt(3, 5)), Letter('I', KeyAt(4, 1)),
    Letter('J', KeyAt(4, 2)), Letter('K', KeyAt(4, 5)), Letter('L', KeyAt(5, 2)),
    Letter('M', KeyAt(4, 4)), Letter('N', KeyAt(4, 7)), Letter('O', KeyAt(4, 6)),
    Letter('P', KeyAt(5, 1)), Letter('Q', KeyAt(7, 6)), Letter('R', KeyAt(2, 1)),
    Letter('S', KeyAt(1, 5)), Letter('T', KeyAt(2, 6)), Letter('U', KeyAt(3, 6)),
    Letter('V', KeyAt(3, 7)), Letter('W', KeyAt(1, 1)), Letter('X', KeyAt(2, 7)),
    Letter('Y', KeyAt(3, 1)), Letter('Z', KeyAt(1, 4)),
    Same(VirtualKeyMultiply, Keys(KeyAt(6, 1))),
    Same(VirtualKeyAdd, Keys(KeyAt(5, 0))),
    Same(VirtualKeySubtract, Keys(KeyAt(5, 3))),
    Row(VirtualKeyDecimal, Keys(KeyAt(5, 4)), Keys(KeyAt(5, 4), Shift)),
    Row(VirtualKeyDivide, Keys(KeyAt(6, 7)), Keys(KeyAt(6, 7), Shift)),
    // The function keys: F2, F4, F6 and F8 are the shifted halves of the C64's four keys.
    Same(VirtualKeyF1, Keys(KeyAt(0, 4))),
    Same(VirtualKeyF2, Keys(KeyAt(0, 4), Shift)),
    Same(VirtualKeyF3, Keys(KeyAt(0, 5))),
    Same(VirtualKeyF4, Keys(KeyAt(0, 5), Shift)),
    Same(VirtualKeyF5, Keys(KeyAt(0, 6))),
    Same(VirtualKeyF6, Keys(KeyAt(0, 6), Shift)),
    Same(VirtualKeyF7, Keys(KeyAt(0, 3))),
    Same(VirtualKeyF8, Keys(KeyAt(0, 3), Shift)),
    // Shift-; is the C64's unshifted colon, and its release lets go of LEFT SHIFT as well.
    Row(VirtualKeyOem1, Keys(KeyAt(6, 2)),
        {{KeyAt(5, 5), NoKey}, AnyShift, {KeyAt(5, 5), AnyShift}}),
    // Shift-= is the C64's unshifted plus: SHIFT is let go, or the key gives its graphic.
    Row(VirtualKeyOemPlus, Keys(KeyAt(6, 5)),
        {{KeyAt(5, 0), NoKey}, AnyShift, {KeyAt(5, 0), NoKey}}),
    Row(VirtualKeyOemComma, Keys(KeyAt(5, 7)), Keys(KeyAt(5, 7), Shift)),
    Same(VirtualKeyOemMinus, Keys(KeyAt(5, 3))),
    Same(VirtualKeyOem3, Keys(KeyAt(7, 1))),  // grave: the C64's left arrow
    Same(VirtualKeyOem4, Keys(KeyAt(5, 5), Shift)),
    Same(VirtualKeyOem5, Keys(KeyAt(6, 0))),  // backslash: the pound key
    Same(VirtualKeyOem6, Keys(KeyAt(6, 2), Shift)),
    Row(VirtualKeyOem7, Keys(KeyAt(3, 0), Shift), Keys(KeyAt(7, 3), Shift)),
};

// Row index + 1 by virtual-key code; 0 for keys without a row.
constexpr std::array<std::uint8_t, 256> RowIndex = [] {
  std::array<std::uint8_t, 256> index{};
  for (std::size_t i = 0; i < std::size(Rows); ++i) {
    index[Rows[i].VirtualKey] = static_cast<std::uint8_t>(i + 1);
  }
  return index;
}();

const KeyEffect* FindEffect(int virtualKey, bool shiftHeld) {
  const KeyTableRow* row = FindKeyRow(virtualKey);
  if (row == nullptr) return nullptr;
  return shiftHeld ? &row->Shifted : &row->Plain;
}

}  // namespace

void PressKey(std::uint8_t position) {
  if (position >= 64) return;
  CurrentMachine().KeyMatrix()[position >> 3] &= static_cast<std::uint8_t>(~(1u << (position & 7)));
}

void ReleaseKey(std::uint8_t position) {
  if (position == EitherShiftKey) {
    ReleaseKey(LeftShiftKey);
    ReleaseKey(RightShiftKey);
  } else if (position < 64) {
    CurrentMachine().KeyMatrix()[position >> 3] |= static_cast<std::uint8_t>(1u << (position & 7));
  }
}

const KeyTableRow* FindKeyRow(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 0xFF || RowIndex[virtualKey] == 0) return nullptr;
  return &Rows[RowIndex[virtualKey] - 1];
}

void ApplyKeyDown(int virtualKey, bool shiftHeld) {
  const KeyEffect* effect = FindEffect(virtualKey, shiftHeld);
  if (effect == nullptr) return;
  PressKey(effect->Press[0]);
  PressKey(effect->Press[1]);
  ReleaseKey(effect->Release);
}

void ApplyKeyUp(int virtualKey, bool shiftHeld) {
  const KeyEffect* effect = FindEffect(virtualKey, shiftHeld);
  if (effect == nullptr) return;
  ReleaseKey(effect->KeyUp[0]);
  ReleaseKey(effect->KeyUp[1]);
}

}  // namespace quillon
