// The PC's keys as the shell keeps them: which are held, and the joystick that some of them
// drive, on the numeric keypad or on the cursor keys with right Ctrl.
#pragma once

#include <cstdint>

namespace quillon {

// One byte per host virtual-key code, nonzero while that key is held.
extern std::uint8_t HostKeyDown[256];

// The control port the joystick is plugged into (1 or 2, 2 at start), and whether the cursor
// keys with right Ctrl drive it as well as the numeric keypad (0 at start).
extern std::uint8_t JoystickPort;
extern std::uint8_t JoystickOnCursorKeys;

// The lines that the remote monitor's client pushes on the joysticks of ports 1 and 2 (bits as
// JoystickState's, but 1 = pushed); they add to what the keys push.
extern std::uint8_t MonitorJoystick[2];

// Whether `virtualKey` drives the joystick under the present key set.
bool IsJoystickKey(int virtualKey);

// Bits 0-4: up, down, left, right, fire of the host's joystick; 1 = released.
std::uint8_t JoystickState();

// Hands the machine what the held keys and the joystick's settings mean for it: the joystick's
// lines in its port, and slow motion (every raster line a frame) while F11 is held. Called
// after every change of either.
void FollowHostKeys();

}  // namespace quillon
