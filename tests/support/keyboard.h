// Typing on the emulated C64 keyboard from a test, the way a person would: each key held for
// a few frames, released, and a pause before the next one.
#pragma once

#include <string_view>

namespace quillon::test {

// Types `text` key by key through the host key table into KeyMatrix, with the host Shift key
// held for characters that need it; '\n' is RETURN. A character no key types fails the test.
void TypeText(std::string_view text);

}  // namespace quillon::test
