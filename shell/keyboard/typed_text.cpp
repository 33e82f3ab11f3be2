#include "keyboard/typed_text.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

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

bool PetsciiKeys(std::string_view text, std::vector<TypedKey>& keys) {
  struct Control {
    std::uint8_t Code;
    TypedKey Key;
  };
  static constexpr Control Controls[] = {
      {0x03, {VirtualKeyEscape, false}}, {0x0A, {VirtualKeyReturn, false}},
      {0x0D, {VirtualKeyReturn, false}}, {0x11, {VirtualKeyDown, false}},
      {0x91, {VirtualKeyUp, false}},     {0x1D, {VirtualKeyRight, false}},
      {0x9D, {VirtualKeyLeft, false}},   {0x13, {VirtualKeyHome, false}},
      {0x93, {VirtualKeyHome, true}},    {0x14, {VirtualKeyBack, false}},
      {0x94, {VirtualKeyInsert, false}}, {0x85, {VirtualKeyF1, false}},
      {0x86, {VirtualKeyF3, false}},     {0x87, {VirtualKeyF5, false}},
      {0x88, {VirtualKeyF7, false}},     {0x89, {VirtualKeyF2, false}},
      {0x8A, {VirtualKeyF4, false}},     {0x8B, {VirtualKeyF6, false}},
      {0x8C, {VirtualKeyF8, false}},
  };
  std::vector<TypedKey> typed;
  for (const char c : text) {
    const auto code = static_cast<std::uint8_t>(c);
    TypedKey key{};
    const auto control = std::find_if(std::begin(Controls), std::end(Controls),
                                      [code](const Control& k) { return k.Code == code; });
    if (control != std::end(Controls)) {
      key = control->Key;
    } else if (code >= 0xC1 && code <= 0xDA) {
      key = {code - 0xC1 + 'A', true};
    } else if (code < 0x20 || code == 0x5E || code >= 0x7B || !KeyForCharacter(c, key)) {
      return false;
    }
    typed.push_back(key);
  }
  keys = std::move(typed);
  return true;
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
