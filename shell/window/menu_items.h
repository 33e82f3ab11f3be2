// What the menu commands share: the check marks of the menu's items, and the open-file dialog
// that a command opens.
#pragma once

#include <cstdint>

namespace quillon {

// Rewrites the menu item `command` of sub-menu `subMenu` with its own text, checked or not.
void SetMenuCheck(int subMenu, std::uint32_t command, bool checked);

// Checks the Settings menu's items of the machine model in use, its PAL item and its SID chip
// (for the classic model, the chip its next accurate machine gets).
void ShowModelInMenu();

// The open-file dialog with `filter` over a buffer of FileNameCapacity characters that offers
// its present contents; nonzero when the user picked an existing file, whose path it then holds.
std::int32_t OpenFileDialog(const char* filter, char* fileName);

}  // namespace quillon
