#include "window/menu_items.h"

#include "interface/machine.h"
#include "platform/platform.h"
#include "resources/menu.h"

namespace quillon {

void SetMenuCheck(int subMenu, std::uint32_t command, bool checked) {
  Platform.SetMenuItemCheck(subMenu, command, FindMenuItem(command)->Text, checked);
}

std::int32_t OpenFileDialog(const char* filter, char* fileName) {
  // Only a regular file counts as picked: a device or a pipe typed into the dialog would block
  // or feed a loader without end.
  return Platform.ChooseFile(filter, fileName, FileNameCapacity) && IsRegularFile(fileName) ? 1
                                                                                          : 0;
}

}  // namespace quillon
