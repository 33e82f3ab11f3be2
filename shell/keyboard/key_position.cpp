#include "keyboard/key_position.h"

#include "platform/messages.h"

namespace quillon {
namespace {

constexpr int RightShiftScanCode = 0x36;

struct PositionKey {
  std::uint8_t ScanCode;
  std::uint8_t VirtualKey;
  char Character;  // what the US layout prints on the key, unshifted
};

// The main block's character keys row by row, as the US layout names them.
constexpr PositionKey Positions[] = {
    {0x29, VirtualKeyOem3, '`'},      {0x02, '1', '1'}, {0x03, '2', '2'}, {0x04, '3', '3'},
    {0x05, '4', '4'},                 {0x06, '5', '5'}, {0x07, '6', '6'}, {0x08, '7', '7'},
    {0x09, '8', '8'},                 {0x0A, '9', '9'}, {0x0B, '0', '0'},
    {0x0C, VirtualKeyOemMinus, '-'},  {0x0D, VirtualKeyOemPlus, '='},
    {0x10, 'Q', 'q'}, {0x11, 'W', 'w'}, {0x12, 'E', 'e'}, {0x13, 'R', 'r'}, {0x14, 'T', 't'},
    {0x15, 'Y', 'y'}, {0x16, 'U', 'u'}, {0x17, 'I', 'i'}, {0x18, 'O', 'o'}, {0x19, 'P', 'p'},
    {0x1A, VirtualKeyOem4, '['},      {0x1B, VirtualKeyOem6, ']'},
    {0x1E, 'A', 'a'}, {0x1F, 'S', 's'}, {0x20, 'D', 'd'}, {0x21, 'F', 'f'}, {0x22, 'G', 'g'},
    {0x23, 'H', 'h'}, {0x24, 'J', 'j'}, {0x25, 'K', 'k'}, {0x26, 'L', 'l'},
    {0x27, VirtualKeyOem1, ';'},      {0x28, VirtualKeyOem7, '\''}, {0x2B, VirtualKeyOem5, '\\'},
    {0x56, VirtualKeyOem102, 0},
    {0x2C, 'Z', 'z'}, {0x2D, 'X', 'x'}, {0x2E, 'C', 'c'}, {0x2F, 'V', 'v'}, {0x30, 'B', 'b'},
    {0x31, 'N', 'n'}, {0x32, 'M', 'm'},
    {0x33, VirtualKeyOemComma, ','},  {0x34, VirtualKeyOemPeriod, '.'},
    {0x35, VirtualKeyOem2, '/'},
};

bool IsLetter(int virtualKey) { return virtualKey >= 'A' && virtualKey <= 'Z'; }

// The punctuation key that carries `character` unshifted on the US layout, or 0.
int OemKeyForCharacter(char32_t character) {
  for (const PositionKey& key : Positions) {
    if (key.Character != 0 && static_cast<char32_t>(key.Character) == character &&
        IsOemVirtualKey(key.VirtualKey)) {
      return key.VirtualKey;
    }
  }
  return 0;
}

// The keypad's keys as Windows reports them without Num Lock: the cursor and editing keys
// printed on the same caps, told from the cursor block's only by the extended-key flag.
struct KeypadKey {
  std::uint8_t Navigation;
  std::uint8_t Digit;
};
constexpr KeypadKey KeypadKeys[] = {
    {VirtualKeyInsert, VirtualKeyNumpad0}, {VirtualKeyEnd, 0x61},
    {VirtualKeyDown, VirtualKeyNumpad2},   {VirtualKeyNext, 0x63},
    {VirtualKeyLeft, VirtualKeyNumpad4},   {VirtualKeyClear, 0x65},
    {VirtualKeyRight, VirtualKeyNumpad6},  {VirtualKeyHome, 0x67},
    {VirtualKeyUp, VirtualKeyNumpad8},     {VirtualKeyPrior, 0x69},
    {VirtualKeyDelete, VirtualKeyDecimal},
};

}  // namespace

int VirtualKeyAtPosition(int scanCode) {
  for (const PositionKey& key : Positions) {
    if (key.ScanCode == scanCode) return key.VirtualKey;
  }
  return 0;
}

bool IsOemVirtualKey(int virtualKey) {
  return (virtualKey >= VirtualKeyOem1 && virtualKey <= VirtualKeyOem3) ||
         (virtualKey >= VirtualKeyOem4 && virtualKey <= 0xDF) || virtualKey == VirtualKeyOem102;
}

int VirtualKeyForCharacterKey(int scanCode, char32_t label) {
  const int position = VirtualKeyAtPosition(scanCode);
  if (position == 0 || (position >= '0' && position <= '9')) return position;
  if (label >= 'a' && label <= 'z') return static_cast<int>(label - 'a' + 'A');
  if (label >= 'A' && label <= 'Z') return static_cast<int>(label);
  if (!IsLetter(position)) return position;
  const int punctuation = OemKeyForCharacter(label);
  return punctuation != 0 ? punctuation : position;
}

int KeyFromMessage(std::uintptr_t wParam, std::intptr_t lParam) {
  const int key = static_cast<int>(wParam);
  const int scanCode = KeyScanCode(lParam);
  const bool extended = KeyIsExtended(lParam);
  if (key == VirtualKeyShift && scanCode == RightShiftScanCode) return VirtualKeyRightShift;
  if (key == VirtualKeyControl && extended) return VirtualKeyRightControl;
  if (scanCode == 0) return key;
  if (!extended) {
    for (const KeypadKey& keypad : KeypadKeys) {
      if (keypad.Navigation == key) return keypad.Digit;
    }
  }
  if (IsOemVirtualKey(key)) {
    const int position = VirtualKeyAtPosition(scanCode);
    if (IsOemVirtualKey(position)) return position;
  }
  return key;
}

}  // namespace quillon
