#include "keyboard/host_keys.h"

#include "platform/messages.h"
#include "session/session.h"

namespace quillon {

std::uint8_t HostKeyDown[256] = {};
std::uint8_t JoystickPort = 2;
std::uint8_t JoystickOnCursorKeys = 0;
std::uint8_t MonitorJoystick[2] = {0, 0};

namespace {

// Joystick bits 0-4 in order: up, down, left, right, fire; on the numeric keypad, and on the
// cursor keys with right Ctrl for keyboards without a keypad.
constexpr int KeypadKeys[5] = {VirtualKeyNumpad8, VirtualKeyNumpad2, VirtualKeyNumpad4,
                               VirtualKeyNumpad6, VirtualKeyNumpad0};
constexpr int CursorKeys[5] = {VirtualKeyUp, VirtualKeyDown, VirtualKeyLeft, VirtualKeyRight,
                               VirtualKeyRightControl};
constexpr std::uint8_t Released = 0x1F;

}  // namespace

bool IsJoystickKey(int virtualKey) {
  for (int bit = 0; bit < 5; ++bit) {
    if (virtualKey == KeypadKeys[bit]) return true;
    if (JoystickOnCursorKeys && virtualKey == CursorKeys[bit]) return true;
  }
  return false;
}

std::uint8_t JoystickState() {
  std::uint8_t value = Released;
  for (int bit = 0; bit < 5; ++bit) {
    const bool held = HostKeyDown[KeypadKeys[bit]] ||
                      (JoystickOnCursorKeys && HostKeyDown[CursorKeys[bit]]);
    if (held) value &= static_cast<std::uint8_t>(~(1u << bit));
  }
  return value;
}

void FollowHostKeys() {
  Machine& machine = CurrentMachine();
  const std::uint8_t state = JoystickState();
  machine.SetJoystick(1, (JoystickPort == 1 ? state : Released) & ~MonitorJoystick[0]);
  machine.SetJoystick(2, (JoystickPort == 2 ? state : Released) & ~MonitorJoystick[1]);
  machine.SetLineFrames(HostKeyDown[VirtualKeyF11] != 0);
}

}  // namespace quillon
