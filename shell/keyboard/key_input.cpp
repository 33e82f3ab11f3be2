#include "keyboard/key_input.h"

#include "keyboard/host_keys.h"
#include "keyboard/key_position.h"
#include "keyboard/key_queue.h"
#include "keyboard/key_table.h"
#include "platform/messages.h"

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
  FollowHostKeys();
  if (!repeat && ReachesKeyboard(key)) KeyQueuePress(key);
}

void KeyInputUp(std::uintptr_t wParam, std::intptr_t lParam) {
  const int key = MessageKey(wParam, lParam);
  HostKeyDown[key] = 0;
  FollowHostKeys();
  if (ReachesKeyboard(key)) KeyQueueRelease(key);
}

void KeyInputFocusLost() { KeyQueueReleaseHostKeys(); }

}  // namespace quillon
