// Which key a key message means. Windows names a key by its virtual-key code: letters by the
// letter printed on the key, the digit row by its digits whatever the layout prints above
// them, and the rest by codes that the layout assigns. The C64 keyboard is laid out by place,
// so the punctuation keys count here by their place on the keyboard (the codes a US layout
// gives them), read from the scan code that every key message carries.
#pragma once

#include <cstdint>

namespace quillon {

// The US layout's virtual-key code of the main-block character key with set-1 scan code
// `scanCode` (digits, letters and punctuation), or 0 for any other key.
int VirtualKeyAtPosition(int scanCode);

// The virtual-key code for the main-block character key with `scanCode` on a layout that
// gives `label` (the key's unshifted character, 0 for none or a dead key) when it is pressed
// alone: the letter when the label is a letter, the digit on the digit row, otherwise the code
// of the key's place. A key that sits where the US layout has a letter but carries no letter
// here (the comma of a French keyboard) counts as the punctuation key it carries where that
// is one of the US layout's, so that the letter is not found on two keys. 0 for a scan code
// that is no character key.
int VirtualKeyForCharacterKey(int scanCode, char32_t label);

// Whether `virtualKey` is one of the punctuation (OEM) codes.
bool IsOemVirtualKey(int virtualKey);

// The key that a key message with `wParam` and `lParam` means: right Shift and right Ctrl
// told from the left ones (VirtualKeyRightShift, VirtualKeyRightControl), the keypad's keys
// without Num Lock as its digits and decimal point, and punctuation keys by their place.
// Messages without a scan code (made up by the program itself) are taken as they stand.
int KeyFromMessage(std::uintptr_t wParam, std::intptr_t lParam);

}  // namespace quillon
