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

// The C64 keys each host key reaches, written as "column,row" with Shift not held and with
// Shift held; "-column,row" is a key the key-down lets go. The last column lists what the
// key-up with Shift held lets go where that is not simply what the key-down pressed.
struct ExpectedRow {
  int VirtualKey;
  const char* Plain;
  const char* Shifted;
  const char* ShiftedUp;
};

constexpr ExpectedRow Expected[] = {
    {0x0D, "0,1", "0,1", ""},           {0x10, "1,7", "1,7", ""},
    {0x11, "7,2", "7,2", ""},           {0x13, "7,7", "7,7", ""},
    {0x20, "7,4", "7,4", ""},           {0x24, "6,3", "6,3", ""},
    {0x25, "0,2 1,7", "0,2 1,7", ""},   {0x26, "0,7 1,7", "0,7 1,7", ""},
    {0x27, "0,2", "0,2", ""},           {0x28, "0,7", "0,7", ""},
    {0x2D, "0,0 1,7", "0,0 1,7", ""},   {0x2E, "0,0", "0,0", ""},
    {'0', "4,3", "4,0 1,7", ""},        {'1', "7,0", "7,0 1,7", ""},
    {'2', "7,3", "5,6 -1,7", "5,6"},    {'3', "1,0", "1,0 1,7", ""},
    {'4', "1,3", "1,3 1,7", ""},        {'5', "2,0", "2,0 1,7", ""},
    {'6', "2,3", "6,6", ""},            {'7', "3,0", "2,3 1,7", ""},
    {'8', "3,3", "3,3", ""},            {'9', "4,0", "3,3 1,7", ""},
    {'A', "1,2", "1,2", ""},            {'B', "3,4", "3,4", ""},
    {'C', "2,4", "2,4", ""},            {'D', "2,2", "2,2", ""},
    {'E', "1,6", "1,6", ""},            {'F', "2,5", "2,5", ""},
    {'G', "3,2", "3,2", ""},            {'H', "3,5", "3,5", ""},
    {'I', "4,1", "4,1", ""},            {'J', "4,2", "4,2", ""},
    {'K', "4,5", "4,5", ""},            {'L', "5,2", "5,2", ""},
    {'M', "4,4", "4,4", ""},            {'N', "4,7", "4,7", ""},
    {'O', "4,6", "4,6", ""},            {'P', "5,1", "5,1", ""},
    {'Q', "7,6", "7,6", ""},            {'R', "2,1", "2,1", ""},
    {'S', "1,5", "1,5", ""},            {'T', "2,6", "2,6", ""},
    {'U', "3,6", "3,6", ""},            {'V', "3,7", "3,7", ""},
    {'W', "1,1", "1,1", ""},            {'X', "2,7", "2,7", ""},
    {'Y', "3,1", "3,1", ""},            {'Z', "1,4", "1,4", ""},
    {0x6A, "6,1", "6,1", ""},           {0x6B, "5,0", "5,0", ""},
    {0x6D, "5,3", "5,3", ""},           {0x6E, "5,4", "5,4 1,7", ""},
    {0x6F, "6,7", "6,7 1,7", ""},       {0x70, "0,4", "0,4", ""},
    {0x71, "0,4 1,7", "0,4 1,7", ""},   {0x72, "0,5", "0,5", ""},
    {0x73, "0,5 1,7", "0,5 1,7", ""},   {0x74, "0,6", "0,6", ""},
    {0x75, "0,6 1,7", "0,6 1,7", ""},   {0x76, "0,3", "0,3", ""},
    {0x77, "0,3 1,7", "0,3 1,7", ""},   {0xBA, "6,2", "5,5 -1,7", "5,5 1,7"},
    {0xBB, "6,5", "5,0", ""},           {0xBC, "5,7", "5,7 1,7", ""},
    {0xBD, "5,3", "5,3", ""},           {0xDB, "5,5 1,7", "5,5 1,7", ""},
    {0xDD, "6,2 1,7", "6,2 1,7", ""},   {0xDE, "3,0 1,7", "7,3 1,7", ""},
};

// Applies "c,r ..." to a matrix: pressed keys clear their bit, "-c,r" and `release` set it.
void Apply(Matrix& matrix, const std::string& keys, bool release) {
  std::istringstream words(keys);
  std::string word;
  while (words >> word) {
    const bool letGo = release || word[0] == '-';
    if (word[0] == '-') word.erase(0, 1);
    const int column = word[0] - '0';
    const int row = word[2] - '0';
    if (letGo) {
      matrix[column] |= static_cast<std::uint8_t>(1 << row);
    } else {
      matrix[column] &= static_cast<std::uint8_t>(~(1 << row));
    }
  }
}

// The keys a key-down presses, without the ones it lets go.
std::string Pressed(const std::string& keys) {
  std::istringstream words(keys);
  std::string word;
  std::string pressed;
  while (words >> word) {
    if (word[0] != '-') pressed += word + " ";
  }
  return pressed;
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
  for (const ExpectedRow& row : Expected) {
    for (bool shifted : {false, true}) {
      SCOPED_TRACE(testing::Message() << "key $" << std::hex << row.VirtualKey
                                      << (shifted ? " with Shift" : ""));
      ReleaseEverything();
      Matrix expected;
      expected.fill(0xFF);
      if (shifted) {
        Send(MessageKeyDown, VirtualKeyShift);
        Apply(expected, "1,7", false);
        ASSERT_EQ(Host.ShiftHeld, 1);
      }
      const std::string down = shifted ? row.Shifted : row.Plain;
      Send(MessageKeyDown, row.VirtualKey);
      Apply(expected, down, false);
      EXPECT_EQ(CurrentMatrix(), expected) << "key down";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 1);

      Send(MessageKeyUp, row.VirtualKey);
      const bool ownUp = shifted && row.ShiftedUp[0] != '\0';
      Apply(expected, ownUp ? row.ShiftedUp : Pressed(down), true);
      EXPECT_EQ(CurrentMatrix(), expected) << "key up";
      EXPECT_EQ(HostKeyDown[row.VirtualKey], 0);
    }
  }
}

TEST(HostKeyTable, EveryOtherKeyPressesNothing) {
  UseHeadlessBackend(false);
  std::set<int> mapped;
  for (const ExpectedRow& row : Expected) mapped.insert(row.VirtualKey);
  for (int key = 0; key < 256; ++key) {
    if (mapped.count(key) != 0) continue;
    for (bool shifted : {false, true}) {
      ReleaseEverything();
      Host.ShiftHeld = shifted;
      Send(MessageKeyDown, key);
      EXPECT_EQ(HostKeyDown[key], 1);
      for (std::uint8_t column : KeyMatrix) ASSERT_EQ(column, 0xFF) << "key " << key;
      Send(MessageKeyUp, key);
      EXPECT_EQ(HostKeyDown[key], 0);
    }
  }
}

TEST(HostKeyTable, TheMappingFollowsShiftAtEachMessage) {
  UseHeadlessBackend(false);
  ReleaseEverything();
  // Shift-2 is an unshifted @: LEFT SHIFT goes up although the host Shift key is still down.
  Send(MessageKeyDown, VirtualKeyShift);
  Send(MessageKeyDown, '2');
  EXPECT_EQ(KeyMatrix[1] & 0x80, 0x80);
  EXPECT_EQ(KeyMatrix[5], 0xBF);
  Send(MessageKeyUp, '2');
  EXPECT_EQ(KeyMatrix[1], 0xFF);
  EXPECT_EQ(KeyMatrix[5], 0xFF);

  // Cursor left presses LEFT SHIFT itself and lets it go on release, host Shift or not.
  Send(MessageKeyDown, VirtualKeyShift);
  Send(MessageKeyDown, VirtualKeyLeft);
  Send(MessageKeyUp, VirtualKeyLeft);
  EXPECT_EQ(KeyMatrix[1], 0xFF);
  EXPECT_EQ(KeyMatrix[0], 0xFF);
  EXPECT_EQ(Host.ShiftHeld, 1);

  // Shift-0 pressed, Shift let go, then 0 let go: the unshifted mapping is released, and the
  // 9 key that only the shifted one pressed stays down until 0 goes up with Shift again.
  Send(MessageKeyDown, '0');
  Send(MessageKeyUp, VirtualKeyShift);
  EXPECT_EQ(Host.ShiftHeld, 0);
  Send(MessageKeyUp, '0');
  EXPECT_EQ(KeyMatrix[4], 0xFE);
  Send(MessageKeyDown, VirtualKeyShift);
  Send(MessageKeyUp, '0');
  Send(MessageKeyUp, VirtualKeyShift);
  for (std::uint8_t column : KeyMatrix) EXPECT_EQ(column, 0xFF);
}

}  // namespace
}  // namespace quillon
