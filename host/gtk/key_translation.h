// The PC keyboard under GTK as the Windows virtual-key codes that the key table speaks: which
// code a key gives, and whether its message is a plain key message or a system one (Alt held,
// Alt itself, F10), which presses no C64 key.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr int VirtualKeyMenu = 0x12;  // either Alt key
inline constexpr int VirtualKeyF10 = 0x79;

// The virtual-key code of the key whose unmodified GDK key value is `keyval`, or 0 for a key
// that has none here. The keypad gives its digit codes whether Num Lock is on or off, so that
// the joystick does not depend on it.
int VirtualKeyFromKeyval(std::uint32_t keyval);

struct KeyMessage {
  std::uint32_t Message;  // 0 when the key gives no message
  int VirtualKey;
};

// The message for a press or release of the key whose unmodified key value is `keyval`.
KeyMessage TranslateKeyEvent(bool pressed, std::uint32_t keyval, bool altHeld);

}  // namespace quillon
