#include "host/gtk/key_translation.h"

#include <gdk/gdkkeysyms.h>

#include "cia/keyboard.h"
#include "host/messages.h"

namespace quillon {
namespace {

struct KeyvalCode {
  std::uint32_t Keyval;
  int VirtualKey;
};

// Keys beyond the letters and digits. The keypad appears twice: with Num Lock its digits,
// without it the cursor and editing keys printed on the same caps.
constexpr KeyvalCode KeyCodes[] = {
    {GDK_KEY_BackSpace, 0x08},
    {GDK_KEY_Tab, 0x09},
    {GDK_KEY_ISO_Left_Tab, 0x09},
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
    {GDK_KEY_Caps_Lock, 0x14},
    {GDK_KEY_Escape, VirtualKeyEscape},
    {GDK_KEY_space, VirtualKeySpace},
    {GDK_KEY_Page_Up, 0x21},
    {GDK_KEY_Page_Down, 0x22},
    {GDK_KEY_End, 0x23},
    {GDK_KEY_Home, VirtualKeyHome},
    {GDK_KEY_Left, VirtualKeyLeft},
    {GDK_KEY_Up, VirtualKeyUp},
    {GDK_KEY_Right, VirtualKeyRight},
    {GDK_KEY_Down, VirtualKeyDown},
    {GDK_KEY_Insert, VirtualKeyInsert},
    {GDK_KEY_Delete, VirtualKeyDelete},
    {GDK_KEY_KP_0, VirtualKeyNumpad0},
    {GDK_KEY_KP_Insert, VirtualKeyNumpad0},
    {GDK_KEY_KP_1, 0x61},
    {GDK_KEY_KP_End, 0x61},
    {GDK_KEY_KP_2, VirtualKeyNumpad2},
    {GDK_KEY_KP_Down, VirtualKeyNumpad2},
    {GDK_KEY_KP_3, 0x63},
    {GDK_KEY_KP_Next, 0x63},
    {GDK_KEY_KP_4, VirtualKeyNumpad4},
    {GDK_KEY_KP_Left, VirtualKeyNumpad4},
    {GDK_KEY_KP_5, 0x65},
    {GDK_KEY_KP_Begin, 0x65},
    {GDK_KEY_KP_6, VirtualKeyNumpad6},
    {GDK_KEY_KP_Right, VirtualKeyNumpad6},
    {GDK_KEY_KP_7, 0x67},
    {GDK_KEY_KP_Home, 0x67},
    {GDK_KEY_KP_8, VirtualKeyNumpad8},
    {GDK_KEY_KP_Up, VirtualKeyNumpad8},
    {GDK_KEY_KP_9, 0x69},
    {GDK_KEY_KP_Prior, 0x69},
    {GDK_KEY_KP_Multiply, VirtualKeyMultiply},
    {GDK_KEY_KP_Add, VirtualKeyAdd},
    {GDK_KEY_KP_Subtract, VirtualKeySubtract},
    {GDK_KEY_KP_Decimal, VirtualKeyDecimal},
    {GDK_KEY_KP_Delete, VirtualKeyDecimal},
    {GDK_KEY_KP_Separator, VirtualKeyDecimal},
    {GDK_KEY_KP_Divide, VirtualKeyDivide},
    {GDK_KEY_Num_Lock, 0x90},
    {GDK_KEY_Scroll_Lock, VirtualKeyScrollLock},
    {GDK_KEY_semicolon, VirtualKeyOem1},
    {GDK_KEY_equal, VirtualKeyOemPlus},
    {GDK_KEY_comma, VirtualKeyOemComma},
    {GDK_KEY_minus, VirtualKeyOemMinus},
    {GDK_KEY_period, 0xBE},
    {GDK_KEY_slash, 0xBF},
    {GDK_KEY_grave, 0xC0},
    {GDK_KEY_bracketleft, VirtualKeyOem4},
    {GDK_KEY_backslash, 0xDC},
    {GDK_KEY_bracketright, VirtualKeyOem6},
    {GDK_KEY_apostrophe, VirtualKeyOem7},
};

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

KeyMessage TranslateKeyEvent(bool pressed, std::uint32_t keyval, bool altHeld) {
  const int key = VirtualKeyFromKeyval(keyval);
  if (key == 0) return {0, 0};
  // As on Windows, F10, Alt and every key pressed with Alt held are system keys: they go to the
  // system's default handling, which opens the menu bar, and never reach the keyboard matrix.
  const bool system = altHeld || key == VirtualKeyMenu || key == VirtualKeyF10;
  if (system) return {pressed ? MessageSysKeyDown : MessageSysKeyUp, key};
  return {pressed ? MessageKeyDown : MessageKeyUp, key};
}

}  // namespace quillon
