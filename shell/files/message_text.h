// Text of the user's in the program's one-line messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

// The number of bytes of the UTF-8 character that starts at text[at]: 1 for a byte that starts
// none, never past the end of the text.
std::size_t Utf8CharacterLength(std::string_view text, std::size_t at);

// `text` in single quotes for a message: control characters as \xNN, and a text longer than
// `limit` bytes cut at a character boundary with "..." after it, so that no UTF-8 character is
// ever cut in half.
std::string QuoteForMessage(std::string_view text, std::size_t limit = 60);

}  // namespace quillon
