#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "cia/keyboard.h"
#include "host/headless/headless_backend.h"
#include "host/host_state.h"
#include "host/messages.h"
#include "host/window_proc.h"

namespace quillon {
namespace {

using Matrix = std::array<std::uint8_t, 8>;

// The C64 keys ("column,row") that a host key presses without and with Shift held; "-c,r" is a
// key that the key-down lets go. The last field is what the key-up with Shift lets go where
// that is not simply what the key-down pressed.
struct ExpectedRow {
  int VirtualKey;
  const char *Plain, *Shifted, *ShiftedUp;
};

constexpr ExpectedRow Expected[] = {
    {0x0D, "0,1", "0,1", ""},          {0x10, "1,7", "1,7", ""},          {0x11, "7,2", "7,2", ""},
    {0x13, "7,7", "7,7", ""},          {0x20, "7,4", "7,4", ""},          {0x24, "6,3", "6,3", ""},
    {0x25, "0,2 1,7", "0,2 1,7", ""},  {0x26, "0,7 1,7", "0,7 1,7", ""},  {0x27, "0,2", "0,2", ""},
    {0x28, "0,7", "0,7", ""},          {0x2D, "0,0 1,7", "0,0 1,7", ""},  {0x2E, "0,0", "0,0", ""},
    {'0', "4,3", "4,0 1,7", ""},       {'1', "7,0", "7,0 1,7", ""},       {'2', "7,3", "5,6 -1,7", "5,6"},
    {'3', "1,0", "1,0 1,7", ""},       {'4', "1,3", "1,3 1,7", ""},       {'5', "2,0", "2,0 1,7", ""},
    {'6', "2,3", "6,6", ""},           {'7', "3,0", "2,3 1,7", ""},       {'8', "3,3", "3,3", ""},
    {'9', "4,0", "3,3 1,7", ""},       {0x6A, "6,1", "6,1", ""},          {0x6B, "5,0", "5,0", ""},
    {0x6D, "5,3", "5,3", ""},          {0x6E, "5,4", "5,4 1,7", ""},      {0x6F, "6,7", "6,7 1,7", ""},
    {0x70, "0,4", "0,4", ""},          {0x71, "0,4 1,7", "0,4 1,7", ""},  {0x72, "0,5", "0,5", ""},
    {0x73, "0,5 1,7", "0,5 1,7", ""},  {0x74, "0,6", "0,6", ""},          {0x75, "0,6 1,7", "0,6 1,7", ""},
    {0x76, "0,3", "0,3", ""},          {0x77, "0,3 1,7", "0,3 1,7", ""},  {0xBA, "6,2", "5,5 -1,7", "5,5 1,7"},
    {0xBB, "6,5", "5,0", ""},          {0xBC, "5,7", "5,7 1,7", ""},      {0xBD, "5,3", "5,3", ""},
    {0xDB, "5,5 1,7", "5,5 1,7", ""},  {0xDD, "6,2 1,7", "6,2 1,7", ""},  {0xDE, "3,0 1,7", "7,3 1,7", ""},
};
// The letters A-Z press the same key with and without Shift.
constexpr const char* Letters = "1,2 3,4 2,4 2,2 1,6 2,5 3,2 3,5 4,1 4,2 4,5 5,2 4,4 "
                                "4,7 4,6 5,1 7,6 2,1 1,5 2,6 3,6 3,7 1,1 2,7 3,1 1,4";

// Applies "c,r ..." to a matrix: pressed keys clear their bit, "-c,r" and `release` set it.
void Apply(Matrix& matrix, const std::string& keys, bool release) {
  std::istringstream words(keys);
  std::string word;
  while (words >> word) {
    const bool letGo = release || word[0] == '-';
    if (word[0] == '-') word.erase(0, 1);
    const auto bit = static_cast<std::uint8_t>(1 << (word[2] - '0'));
    matrix[word[0] - '0'] = letGo ? matrix[word[0] - '0'] | bit : matrix[word[0] - '0'] & ~bit;
  }
}

Matrix CurrentMatrix() {
  Matrix matrix;
  std::memcpy(matrix.data(), KeyMatrix, 8);
  return matrix;
}

void Send(std::uint32_t message, int key) {
  MainWindowProc(&Headless, message, static_cast<std::uintptr_t>(key), 0);
}

void ReleaseEverything() {
  std::memset(KeyMatrix, 0xFF, sizeof KeyMatrix);
  std::memset(HostKeyDown, 0, sizeof HostKeyDown);
  Host.ShiftHeld = 0;
}

TEST(HostKeyTable, EveryRowPressesAndReleasesItsKeysWithAndWithoutShift) {
  UseHeadlessBackend(false);
  std::vector<ExpectedRow> rows(std::begin(Expected), std::end(Expected));
  std::istringstream letters(Letters);
  std::vector<std::string> letterKeys(26);
  for (int i = 0; i < 26; ++i) {
    letters >> letterKeys[i];
    rows.push_back({'A' + i, letterKeys[i].c_str(), letterKeys[i].c_str(), ""});
  }
  std::set<int> mapped;
  for (const ExpectedRow& row : rows) {
    mapped.insert(row.VirtualKey);
    for (bool shifted : {false, true}) {
      SCOPED_TRACE(testing::Message() << "key $" << std::hex << row.VirtualKey << " " << shifted);
      ReleaseEverything();
      Matrix expected;
      expected.fill(0xFF);
      if (shifted) {
        Send(MessageKeyDown, VirtualKeyShift);
        Apply(expected, "1,7", false);
      }
      const char* down = shifted ? row.Shifted : row.Plain;
      Send(MessageKeyDown, row.VirtualKey);
      Apply(expected, down, false);
      EXPECT_EQ(CurrentMatrix(), expected) << "key down";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 1);
      Send(MessageKeyUp, row.VirtualKey);
      Apply(expected, shifted && row.ShiftedUp[0] ? row.ShiftedUp : down, true);
      EXPECT_EQ(CurrentMatrix(), expected) << "key up";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 0);
    }
  }
  // Every other key is only noted as held.
  Matrix released;
  released.fill(0xFF);
  for (int key = 0; key < 256; ++key) {
    if (mapped.count(key) != 0) continue;
    ReleaseEverything();
    Host.ShiftHeld = key & 1;
    Send(MessageKeyDown, key);
    EXPECT_EQ(HostKeyDown[key], 1);
    ASSERT_EQ(CurrentMatrix(), released) << "key " << key;
  }
}

TEST(HostKeyTable, TheMappingFollowsShiftAtEachMessage) {
  UseHeadlessBackend(false);
  ReleaseEverything();
  // Shift-0 pressed, Shift let go, then 0 let go: the unshifted mapping is released, and the
  // 9 key that only the shifted one pressed stays down until 0 goes up with Shift again.
  Send(MessageKeyDown, VirtualKeyShift);
  Send(MessageKeyDown, '0');
  Send(MessageKeyUp, VirtualKeyShift);
  Send(MessageKeyUp, '0');
  EXPECT_EQ(KeyMatrix[4], 0xFE);
  Send(MessageKeyDown, VirtualKeyShift);
  Send(MessageKeyUp, '0');
  Send(MessageKeyUp, VirtualKeyShift);
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
}

}  // namespace
}  // namespace quillon
