// Typing on the emulated C64 keyboard from a test, the way a person would: each key held for
// a few frames, released, and a pause before the next one.
#pragma once

#include <string_view>

namespace quillon::test {

// A key of the C64 keyboard: its column (KeyMatrix byte, CIA1 port A bit) and row (port B bit).
struct KeyPosition {
  int Column;
  int Row;
};

inline constexpr KeyPosition KeyReturn = {0, 1};
inline constexpr KeyPosition KeyLeftShift = {1, 7};
inline constexpr KeyPosition KeySpace = {7, 4};

// Frames a key stays held, and frames the machine runs after its release. The KERNAL scans
// the keyboard sixty times a second, so both span several scans of a 50 Hz frame.
inline constexpr int KeyHoldFrames = 3;
inline constexpr int KeyPauseFrames = 3;

void PressKey(KeyPosition key);
void ReleaseKey(KeyPosition key);

// Holds `key` (with LEFT SHIFT when `shifted`) while the machine runs, then releases it and
// lets the machine run on.
void TypeKey(KeyPosition key, bool shifted = false);

// Types `text` key by key: letters (either case gives the C64's capital), digits, space and
// the punctuation of the C64 keyboard; '\n' is RETURN. Characters that sit on a shifted key
// press LEFT SHIFT too. A character the keyboard cannot type fails the test.
void TypeText(std::string_view text);

}  // namespace quillon::test
