// Text turned into the host keys that type it on the C64, for the command line's --type and
// for pasting.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

// A host key that types one character: its virtual-key code, with or without Shift.
struct TypedKey {
  int VirtualKey;
  bool Shift;
};

// The host key that types `c` through the key table, if there is one. Letters of either case
// type the C64's letter keys unshifted (shifted, the C64 gives its graphics); '\n' is RETURN;
// the PETSCII characters that have no ASCII counterpart stand on the ASCII places they took:
// '\' is the pound key and '_' the left arrow.
bool KeyForCharacter(char c, TypedKey& key);

// The host keys that type `text`, where "\n" (backslash, n) or a newline is RETURN. Returns an
// empty string, or a line naming the character that no key types.
std::string TranslateTypedText(const std::string& text, std::vector<TypedKey>& keys);

// The host keys that type `text` given as PETSCII, as the remote monitor's keyboard feed brings
// it: RETURN ($0D, or a line feed), the cursor keys, HOME and CLR, DEL and INST, RUN/STOP, the
// function keys, the characters from $20 to $5D and $5F (the letters also in lower case), and
// the shifted letters $C1-$DA. False, with nothing typed, when a byte has no key.
bool PetsciiKeys(std::string_view text, std::vector<TypedKey>& keys);

// The host keys that type pasted `text`: a line break of any convention (CR LF, LF, CR) is one
// RETURN, a tab a space, and characters that no key types are left out.
std::vector<TypedKey> PastedTextKeys(const std::string& text);

}  // namespace quillon
