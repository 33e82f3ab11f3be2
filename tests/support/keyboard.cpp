#include "support/keyboard.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>

#include "cia/keyboard.h"
#include "support/machine.h"

namespace quillon::test {

namespace {

struct TypedKey {
  KeyPosition Key;
  bool Shifted;
};

// Letters A-Z in alphabetical order.
constexpr KeyPosition LetterKeys[26] = {
    {1, 2}, {3, 4}, {2, 4}, {2, 2}, {1, 6}, {2, 5}, {3, 2}, {3, 5}, {4, 1},
    {4, 2}, {4, 5}, {5, 2}, {4, 4}, {4, 7}, {4, 6}, {5, 1}, {7, 6}, {2, 1},
    {1, 5}, {2, 6}, {3, 6}, {3, 7}, {1, 1}, {2, 7}, {3, 1}, {1, 4}};

// Digits 0-9 in order.
constexpr KeyPosition DigitKeys[10] = {{4, 3}, {7, 0}, {7, 3}, {1, 0}, {1, 3},
                                       {2, 0}, {2, 3}, {3, 0}, {3, 3}, {4, 0}};
// What the digits 1-9 type with SHIFT.
constexpr std::string_view ShiftedDigits = "!\"#$%&'()";

struct PunctuationKey {
  char Character;
  TypedKey Typed;
};

constexpr PunctuationKey PunctuationKeys[] = {
    {' ', {KeySpace, false}},  {'\n', {KeyReturn, false}}, {'*', {{6, 1}, false}},
    {'+', {{5, 0}, false}},    {'-', {{5, 3}, false}},     {'.', {{5, 4}, false}},
    {'/', {{6, 7}, false}},    {':', {{5, 5}, false}},     {';', {{6, 2}, false}},
    {'=', {{6, 5}, false}},    {',', {{5, 7}, false}},     {'@', {{5, 6}, false}},
    {'^', {{6, 6}, false}},    {'[', {{5, 5}, true}},      {']', {{6, 2}, true}},
    {'<', {{5, 7}, true}},     {'>', {{5, 4}, true}},      {'?', {{6, 7}, true}},
};

bool FindKey(char character, TypedKey& typed) {
  if (character >= 'a' && character <= 'z') character = static_cast<char>(character - 'a' + 'A');
  if (character >= 'A' && character <= 'Z') {
    typed = {LetterKeys[character - 'A'], false};
    return true;
  }
  if (character >= '0' && character <= '9') {
    typed = {DigitKeys[character - '0'], false};
    return true;
  }
  if (const std::size_t digit = ShiftedDigits.find(character); digit != ShiftedDigits.npos) {
    typed = {DigitKeys[digit + 1], true};
    return true;
  }
  for (const PunctuationKey& key : PunctuationKeys) {
    if (key.Character == character) {
      typed = key.Typed;
      return true;
    }
  }
  return false;
}

}  // namespace

void PressKey(KeyPosition key) {
  KeyMatrix[key.Column] &= static_cast<std::uint8_t>(~(1u << key.Row));
}

void ReleaseKey(KeyPosition key) {
  KeyMatrix[key.Column] |= static_cast<std::uint8_t>(1u << key.Row);
}

void TypeKey(KeyPosition key, bool shifted) {
  if (shifted) PressKey(KeyLeftShift);
  PressKey(key);
  RunFrames(KeyHoldFrames);
  ReleaseKey(key);
  if (shifted) ReleaseKey(KeyLeftShift);
  RunFrames(KeyPauseFrames);
}

void TypeText(std::string_view text) {
  for (char character : text) {
    TypedKey typed{};
    if (!FindKey(character, typed)) {
      ADD_FAILURE() << "no C64 key types '" << character << "'";
      continue;
    }
    TypeKey(typed.Key, typed.Shifted);
  }
}

}  // namespace quillon::test
