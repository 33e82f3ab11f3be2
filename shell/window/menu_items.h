// What the menu commands share: the check marks of the menu's items, and the open-file dialog
// that a command opens.
#pragma once

#include <cstdint>

namespace quillon {

// Rewrites the menu item `command` of sub-menu `subMenu` with its own text, checked or not.
void SetMenuCheck(int subMenu, std::uint32_t command, bool checked);

// Checks the Settings menu's item of the machine model in use, and its PAL item.
void ShowModelInMenu();

// The open-file dialog with `filter` over a buffer of FileNameCapacity characters that offers
// its present contents; nonzero when the user picked an existing file, whose path it then holds.
std::int32_t OpenFileDialog(const char* filter, char* fileName);

}  // namespace quillon
