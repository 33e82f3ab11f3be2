#include "host/key_input.h"

#include "cia/keyboard.h"
#include "host/key_position.h"
#include "host/key_queue.h"
#include "host/key_table.h"
#include "host/messages.h"

namespace quillon {
namespace {

// Keys that press something on the C64 (the joystick's keys only move the joystick).
bool ReachesKeyboard(int key) {
  if (IsJoystickKey(key)) return false;
  return FindKeyRow(key) != nullptr || key == VirtualKeyPrior || key == VirtualKeyCapital;
}

int MessageKey(std::uintptr_t wParam, std::intptr_t lParam) {
  return KeyFromMessage(wParam, lParam) & 0xFF;
}

}  // namespace

void KeyInputDown(std::uintptr_t wParam, std::intptr_t lParam) {
  const int key = MessageKey(wParam, lParam);
  const bool repeat = HostKeyDown[key] != 0;
  HostKeyDown[key] = 1;
  if (!repeat && ReachesKeyboard(key)) KeyQueuePress(key);
}

void KeyInputUp(std::uintptr_t wParam, std::intptr_t lParam) {
  const int key = MessageKey(wParam, lParam);
  HostKeyDown[key] = 0;
  if (ReachesKeyboard(key)) KeyQueueRelease(key);
}

void KeyInputFocusLost() { KeyQueueReleaseHostKeys(); }

}  // namespace quillon
