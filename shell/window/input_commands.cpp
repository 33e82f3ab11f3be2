#include "window/input_commands.h"

#include <string>

#include "keyboard/host_keys.h"
#include "keyboard/key_queue.h"
#include "keyboard/typed_text.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "resources/menu.h"
#include "session/host_state.h"
#include "session/session.h"
#include "window/menu_items.h"

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
  FollowHostKeys();
  ShowJoystickInMenu();
}

void ShowSettingsInMenu() {
  if (!CurrentMachine().Pal()) SetMenuCheck(SettingsSubMenu, CommandPal, false);
  if (!Host.ShowBorder) SetMenuCheck(SettingsSubMenu, CommandShowBorder, false);
  if (!Host.SoundOn) SetMenuCheck(SettingsSubMenu, CommandSound, false);
  // The menu starts with the classic machine and the 6581 checked.
  if (CurrentMachine().Model() != MachineModel::Classic ||
      SessionMachineOptions.Sid != SidChip::Mos6581) {
    ShowModelInMenu();
  }
  ShowJoystickInMenu();
}

}  // namespace quillon
