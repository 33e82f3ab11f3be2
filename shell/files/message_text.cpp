#include "files/message_text.h"

namespace quillon {
namespace {

bool IsContinuationByte(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::size_t Utf8CharacterLength(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead >= 0xF0 && lead <= 0xF7   ? 4
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xC0 && lead <= 0xDF ? 2
                                                            : 1;
  std::size_t taken = 1;
  while (taken < length && at + taken < text.size() &&
         IsContinuationByte(static_cast<unsigned char>(text[at + taken]))) {
    ++taken;
  }
  return taken;
}

std::string QuoteForMessage(std::string_view text, std::size_t limit) {
  constexpr char HexDigits[] = "0123456789ABCDEF";
  std::string quoted = "'";
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = Utf8CharacterLength(text, at);
    if (at + length > limit) {
      quoted += "...";
      break;
    }
    for (std::size_t i = at; i < at + length; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      if (byte < 0x20 || byte == 0x7F) {
        quoted += "\\x";
        quoted += HexDigits[byte >> 4];
        quoted += HexDigits[byte & 0x0F];
      } else {
        quoted += static_cast<char>(byte);
      }
    }
    at += length;
  }
  return quoted + "'";
}

}  // namespace quillon
