// The PC keyboard under GTK as the key messages Windows would send for it: the virtual-key
// code Windows gives the key (the character keys by their place and label,
// keyboard/key_position.h), the scan code and extended-key flag in lParam, and whether the
// message is a plain key message or a system one (Alt held, Alt itself, F10), which presses no
// C64 key.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr int VirtualKeyMenu = 0x12;  // either Alt key
inline constexpr int VirtualKeyF10 = 0x79;

// The virtual-key code of a key that is no character key of the main block, by the GDK key
// value it gives without modifiers (the keypad as Windows reports it: digits with Num Lock,
// the cursor and editing keys printed on the same caps without), or 0 for a key that has none
// here. Letters, digits and punctuation give theirs too, for keys the keyboard's layout puts
// outside the main block.
int VirtualKeyFromKeyval(std::uint32_t keyval);

struct KeyMessage {
  std::uint32_t Message;  // 0 when the key gives no message
  int VirtualKey;
  std::intptr_t LParam;
};

// The message for a press or release of the key with hardware key code `keycode` (the
// keyboard's scan code + 8, as X11 and Wayland number keys), which gives the key value `label`
// when it is pressed alone in the layout in use.
KeyMessage TranslateKeyEvent(bool pressed, std::uint32_t keycode, std::uint32_t label,
                             bool altHeld);

}  // namespace quillon
