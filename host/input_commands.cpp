#include "host/input_commands.h"

#include <string>

#include "cia/keyboard.h"
#include "core/machine.h"
#include "host/host_state.h"
#include "host/key_queue.h"
#include "host/messages.h"
#include "host/platform.h"
#include "host/typed_text.h"
#include "host/window_proc.h"
#include "resources/menu.h"

namespace quillon {
namespace {

void ShowJoystickInMenu() {
  SetMenuCheck(SettingsSubMenu, CommandJoystickPort1, JoystickPort == 1);
  SetMenuCheck(SettingsSubMenu, CommandJoystickPort2, JoystickPort == 2);
  SetMenuCheck(SettingsSubMenu, CommandJoystickCursorKeys, JoystickOnCursorKeys != 0);
}

// The clipboard's text typed on the C64 key by key, behind whatever is being typed already.
void PasteCommand() {
  std::string text;
  if (Platform.ReadClipboardText == nullptr || !Platform.ReadClipboardText(&text)) return;
  KeyQueueType(PastedTextKeys(text), false);
}

}  // namespace

void InputMenuCommand(std::uint32_t command) {
  switch (command) {
    case CommandPaste:
      PasteCommand();
      return;
    case CommandJoystickPort1:
      JoystickPort = 1;
      break;
    case CommandJoystickPort2:
      JoystickPort = 2;
      break;
    case CommandJoystickCursorKeys:
      // The cursor keys change sides between the C64's keyboard and the joystick: whatever
      // they hold now is let go first.
      KeyQueueReleaseHostKeys();
      JoystickOnCursorKeys = !JoystickOnCursorKeys;
      break;
    default:
      return;
  }
  ShowJoystickInMenu();
}

void ShowSettingsInMenu() {
  if (VideoStandard == VideoStandardNtsc) SetMenuCheck(SettingsSubMenu, CommandPal, false);
  if (!Host.ShowBorder) SetMenuCheck(SettingsSubMenu, CommandShowBorder, false);
  if (!Host.SoundOn) SetMenuCheck(SettingsSubMenu, CommandSound, false);
  ShowJoystickInMenu();
}

}  // namespace quillon
