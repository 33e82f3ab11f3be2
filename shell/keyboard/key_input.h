// The keyboard as the window procedure hands it on: which key a message means, the host keys
// held, and the C64 keys pressed through the key queue.
#pragma once

#include <cstdint>

namespace quillon {

// A key message: notes the key as held (or no longer held) and queues what it does to the C64
// keyboard. A key-down of a key already held (the keyboard's own repeat) queues nothing: the
// C64 repeats its keys itself.
void KeyInputDown(std::uintptr_t wParam, std::intptr_t lParam);
void KeyInputUp(std::uintptr_t wParam, std::intptr_t lParam);

// The window lost the keyboard focus: every key counts as released, since the releases of the
// keys held now will go to another window.
void KeyInputFocusLost();

}  // namespace quillon
