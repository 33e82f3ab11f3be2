#include "window/menu_items.h"

#include "interface/machine.h"
#include "platform/platform.h"
#include "resources/menu.h"
#include "session/session.h"

namespace quillon {

void SetMenuCheck(int subMenu, std::uint32_t command, bool checked) {
  Platform.SetMenuItemCheck(subMenu, command, FindMenuItem(command)->Text, checked);
}

void ShowModelInMenu() {
  const Machine& machine = CurrentMachine();
  SetMenuCheck(SettingsSubMenu, CommandModelClassic, machine.Model() == MachineModel::Classic);
  SetMenuCheck(SettingsSubMenu, CommandModelAccurate, machine.Model() == MachineModel::Accurate);
  SetMenuCheck(SettingsSubMenu, CommandPal, machine.Pal());
  const SidChip sid = machine.SidChipInUse().value_or(SessionMachineOptions.Sid);
  SetMenuCheck(SettingsSubMenu, CommandSid6581, sid == SidChip::Mos6581);
  SetMenuCheck(SettingsSubMenu, CommandSid8580, sid == SidChip::Mos8580);
}

std::int32_t OpenFileDialog(const char* filter, char* fileName) {
  // Only a regular file counts as picked: a device or a pipe typed into the dialog would block
  // or feed a loader without end.
  return Platform.ChooseFile(filter, fileName, FileNameCapacity) && IsRegularFile(fileName) ? 1
                                                                                          : 0;
}

}  // namespace quillon
