#include "backends/gtk/key_translation.h"

#include <gdk/gdk.h>

#include "keyboard/key_position.h"
#include "platform/messages.h"

namespace quillon {
namespace {

struct KeyvalCode {
  std::uint32_t Keyval;
  int VirtualKey;
};

// Keys beyond the letters and digits. The keypad appears twice: with Num Lock its digits,
// without it the cursor and editing keys printed on the same caps, which Windows reports with
// the cursor block's codes and tells apart by the extended-key flag.
constexpr KeyvalCode KeyCodes[] = {
    {GDK_KEY_BackSpace, VirtualKeyBack},
    {GDK_KEY_Tab, VirtualKeyTab},
    {GDK_KEY_ISO_Left_Tab, VirtualKeyTab},
    {GDK_KEY_Return, VirtualKeyReturn},
    {GDK_KEY_KP_Enter, VirtualKeyReturn},
    {GDK_KEY_Shift_L, VirtualKeyShift},
    {GDK_KEY_Shift_R, VirtualKeyShift},
    {GDK_KEY_Control_L, VirtualKeyControl},
    {GDK_KEY_Control_R, VirtualKeyControl},
    {GDK_KEY_Alt_L, VirtualKeyMenu},
    {GDK_KEY_Alt_R, VirtualKeyMenu},
    {GDK_KEY_Meta_L, VirtualKeyMenu},
    {GDK_KEY_Meta_R, VirtualKeyMenu},
    {GDK_KEY_Pause, VirtualKeyPause},
    {GDK_KEY_Break, VirtualKeyPause},
    {GDK_KEY_Caps_Lock, VirtualKeyCapital},
    {GDK_KEY_Escape, VirtualKeyEscape},
    {GDK_KEY_space, VirtualKeySpace},
    {GDK_KEY_Page_Up, VirtualKeyPrior},
    {GDK_KEY_Page_Down, VirtualKeyNext},
    {GDK_KEY_End, VirtualKeyEnd},
    {GDK_KEY_Home, VirtualKeyHome},
    {GDK_KEY_Left, VirtualKeyLeft},
    {GDK_KEY_Up, VirtualKeyUp},
    {GDK_KEY_Right, VirtualKeyRight},
    {GDK_KEY_Down, VirtualKeyDown},
    {GDK_KEY_Insert, VirtualKeyInsert},
    {GDK_KEY_Delete, VirtualKeyDelete},
    {GDK_KEY_KP_0, VirtualKeyNumpad0},
    {GDK_KEY_KP_Insert, VirtualKeyInsert},
    {GDK_KEY_KP_1, 0x61},
    {GDK_KEY_KP_End, VirtualKeyEnd},
    {GDK_KEY_KP_2, VirtualKeyNumpad2},
    {GDK_KEY_KP_Down, VirtualKeyDown},
    {GDK_KEY_KP_3, 0x63},
    {GDK_KEY_KP_Next, VirtualKeyNext},
    {GDK_KEY_KP_4, VirtualKeyNumpad4},
    {GDK_KEY_KP_Left, VirtualKeyLeft},
    {GDK_KEY_KP_5, 0x65},
    {GDK_KEY_KP_Begin, VirtualKeyClear},
    {GDK_KEY_KP_6, VirtualKeyNumpad6},
    {GDK_KEY_KP_Right, VirtualKeyRight},
    {GDK_KEY_KP_7, 0x67},
    {GDK_KEY_KP_Home, VirtualKeyHome},
    {GDK_KEY_KP_8, VirtualKeyNumpad8},
    {GDK_KEY_KP_Up, VirtualKeyUp},
    {GDK_KEY_KP_9, 0x69},
    {GDK_KEY_KP_Prior, VirtualKeyPrior},
    {GDK_KEY_KP_Multiply, VirtualKeyMultiply},
    {GDK_KEY_KP_Add, VirtualKeyAdd},
    {GDK_KEY_KP_Subtract, VirtualKeySubtract},
    {GDK_KEY_KP_Decimal, VirtualKeyDecimal},
    {GDK_KEY_KP_Delete, VirtualKeyDelete},
    {GDK_KEY_KP_Separator, VirtualKeyDecimal},
    {GDK_KEY_KP_Divide, VirtualKeyDivide},
    {GDK_KEY_Num_Lock, 0x90},
    {GDK_KEY_Scroll_Lock, VirtualKeyScrollLock},
    {GDK_KEY_semicolon, VirtualKeyOem1},
    {GDK_KEY_equal, VirtualKeyOemPlus},
    {GDK_KEY_comma, VirtualKeyOemComma},
    {GDK_KEY_minus, VirtualKeyOemMinus},
    {GDK_KEY_period, VirtualKeyOemPeriod},
    {GDK_KEY_slash, VirtualKeyOem2},
    {GDK_KEY_grave, VirtualKeyOem3},
    {GDK_KEY_bracketleft, VirtualKeyOem4},
    {GDK_KEY_backslash, VirtualKeyOem5},
    {GDK_KEY_bracketright, VirtualKeyOem6},
    {GDK_KEY_apostrophe, VirtualKeyOem7},
};

// Key codes numbered past the keyboard's first 88 keys, whose scan codes Windows reports
// with the extended-key flag: the key code, then the scan code.
struct ExtendedKey {
  std::uint8_t KeyCode;
  std::uint8_t ScanCode;
};
constexpr ExtendedKey ExtendedKeys[] = {
    {104, 0x1C},  // keypad Enter
    {105, 0x1D},  // right Ctrl
    {106, 0x35},  // keypad /
    {108, 0x38},  // right Alt
    {110, 0x47},  // Home
    {111, 0x48},  // Up
    {112, 0x49},  // Page Up
    {113, 0x4B},  // Left
    {114, 0x4D},  // Right
    {115, 0x4F},  // End
    {116, 0x50},  // Down
    {117, 0x51},  // Page Down
    {118, 0x52},  // Insert
    {119, 0x53},  // Delete
};
constexpr std::uint32_t KeyCodeOffset = 8;
// Key codes up to here are the scan code + 8.
constexpr std::uint32_t LastPlainKeyCode = 88 + KeyCodeOffset;

}  // namespace

int VirtualKeyFromKeyval(std::uint32_t keyval) {
  // Letters give the code of their capital, digits their own character code.
  if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return static_cast<int>(keyval - 0x20);
  const bool capital = keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z;
  if (capital || (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9)) return static_cast<int>(keyval);
  if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) {
    return VirtualKeyF1 + static_cast<int>(keyval - GDK_KEY_F1);
  }
  for (const KeyvalCode& entry : KeyCodes) {
    if (entry.Keyval == keyval) return entry.VirtualKey;
  }
  return 0;
}

KeyMessage TranslateKeyEvent(bool pressed, std::uint32_t keycode, std::uint32_t label,
                             bool altHeld) {
  int scanCode = 0;
  bool extended = false;
  if (keycode > KeyCodeOffset && keycode <= LastPlainKeyCode) {
    scanCode = static_cast<int>(keycode - KeyCodeOffset);
  }
  for (const ExtendedKey& key : ExtendedKeys) {
    if (key.KeyCode == keycode) {
      scanCode = key.ScanCode;
      extended = true;
    }
  }
  // The main block's character keys go by place and label; the others by what they are.
  int virtualKey =
      extended ? 0 : VirtualKeyForCharacterKey(scanCode, gdk_keyval_to_unicode(label));
  if (virtualKey == 0) virtualKey = VirtualKeyFromKeyval(label);
  if (virtualKey == 0) return {0, 0, 0};
  const std::intptr_t lParam = KeyMessageLParam(scanCode, extended, !pressed, !pressed);
  // As on Windows, F10, Alt and every key pressed with Alt held are system keys: they go to the
  // system's default handling, which opens the menu bar, and never reach the keyboard matrix.
  const bool system = altHeld || virtualKey == VirtualKeyMenu || virtualKey == VirtualKeyF10;
  if (system) return {pressed ? MessageSysKeyDown : MessageSysKeyUp, virtualKey, lParam};
  return {pressed ? MessageKeyDown : MessageKeyUp, virtualKey, lParam};
}

}  // namespace quillon
