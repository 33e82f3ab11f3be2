// The menu commands of the keyboard and the joystick: Edit > Paste, and the joystick's port
// and keys under Settings.
#pragma once

#include <cstdint>

namespace quillon {

// Carries out CommandPaste, CommandJoystickPort1, CommandJoystickPort2 or
// CommandJoystickCursorKeys.
void InputMenuCommand(std::uint32_t command);

// Sets the check marks of the settings that a settings file may have changed from the menu's
// first state: PAL, Show border, the machine model and the joystick's items.
void ShowSettingsInMenu();

}  // namespace quillon
