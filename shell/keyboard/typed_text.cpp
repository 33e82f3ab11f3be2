#include "keyboard/typed_text.h"

#include <cctype>

#include "files/message_text.h"
#include "platform/messages.h"

namespace quillon {

bool KeyForCharacter(char c, TypedKey& key) {
  const unsigned char u = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(c)));
  if ((u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9')) {
    key = {u, false};
    return true;
  }
  struct Symbol {
    char Character;
    int VirtualKey;
    bool Shift;
  };
  static constexpr Symbol Symbols[] = {
      {' ', VirtualKeySpace, false},    {'*', VirtualKeyMultiply, false},
      {'+', VirtualKeyAdd, false},      {'-', VirtualKeySubtract, false},
      {'.', VirtualKeyDecimal, false},  {'/', VirtualKeyDivide, false},
      {'>', VirtualKeyDecimal, true},   {'?', VirtualKeyDivide, true},
      {',', VirtualKeyOemComma, false}, {'<', VirtualKeyOemComma, true},
      {'=', VirtualKeyOemPlus, false},  {';', VirtualKeyOem1, false},
      {':', VirtualKeyOem1, true},      {'[', VirtualKeyOem4, false},
      {']', VirtualKeyOem6, false},     {'\'', VirtualKeyOem7, false},
      {'"', VirtualKeyOem7, true},      {'!', '1', true},
      {'@', '2', true},                 {'#', '3', true},
      {'$', '4', true},                 {'%', '5', true},
      {'^', '6', true},                 {'&', '7', true},
      {'(', '9', true},                 {')', '0', true},
      {'\\', VirtualKeyOem5, false},    {'_', VirtualKeyOem3, false},
      {'\n', VirtualKeyReturn, false},
  };
  for (const Symbol& symbol : Symbols) {
    if (symbol.Character == c) {
      key = {symbol.VirtualKey, symbol.Shift};
      return true;
    }
  }
  return false;
}

std::string TranslateTypedText(const std::string& text, std::vector<TypedKey>& keys) {
  keys.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      c = '\n';
      ++i;
    }
    TypedKey key{};
    if (!KeyForCharacter(c, key)) {
      // The whole character, however many bytes it takes.
      return "no C64 key types the character " +
             QuoteForMessage(std::string_view(text).substr(i, Utf8CharacterLength(text, i))) +
             " in --type";
    }
    keys.push_back(key);
  }
  return "";
}

std::vector<TypedKey> PastedTextKeys(const std::string& text) {
  std::vector<TypedKey> keys;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      c = '\n';
    } else if (c == '\t') {
      c = ' ';
    }
    TypedKey key{};
    if (KeyForCharacter(c, key)) keys.push_back(key);
  }
  return keys;
}

}  // namespace quillon
