#include <gtest/gtest.h>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/memory.h"
#include "support/machine.h"
#include "vic/vic.h"

namespace quillon {
namespace {

void Hold(int column, int row) { KeyMatrix[column] &= static_cast<std::uint8_t>(~(1u << row)); }

TEST(CiaPorts, KeyboardScanCombinesTheHeldKeysOfEverySelectedColumn) {
  test::PowerOnMachine();
  Hold(0, 1);  // RETURN
  Hold(1, 2);  // A
  Hold(2, 2);  // D
  Hold(7, 4);  // SPACE
  MemWrite(0xDC01, 0x00);  // a byte written to port B plays no part
  const std::pair<std::uint8_t, std::uint8_t> scans[] = {
      {0xFE, 0xFD}, {0xFD, 0xFB}, {0xF9, 0xFB}, {0xFC, 0xF9},
      {0x7F, 0xEF}, {0x00, 0xE9}, {0xFF, 0xFF}, {0xF7, 0xFF}};
  for (auto [columns, rows] : scans) {
    MemWrite(0xDC00, columns);
    EXPECT_EQ(MemRead(0xDC01), rows) << "columns " << int(columns);
  }
  EXPECT_EQ(MemRead(0xDC01 + 0x30), 0xFF) << "the scan repeats through the page";
}

TEST(CiaPorts, JoystickShowsInPortABitsZeroToFourAndKeepsTheColumnSelect) {
  test::PowerOnMachine();
  EXPECT_EQ(JoystickRead(), 0x1F);
  const int keys[5] = {VirtualKeyNumpad8, VirtualKeyNumpad2, VirtualKeyNumpad4,
                       VirtualKeyNumpad6, VirtualKeyNumpad0};
  for (int bit = 0; bit < 5; ++bit) {
    HostKeyDown[keys[bit]] = 1;
    EXPECT_EQ(JoystickRead(), 0x1F & ~(1 << bit));
    HostKeyDown[keys[bit]] = 0;
  }
  HostKeyDown[VirtualKeyNumpad8] = 1;
  HostKeyDown[VirtualKeyNumpad0] = 1;
  MemWrite(0xDC00, 0x7F);
  EXPECT_EQ(MemRead(0xDC00), 0x6E);
  EXPECT_EQ(Cia1.Registers[CiaPortA], 0x7F) << "the joystick is not stored";
  MemWrite(0xDC00, 0x00);
  EXPECT_EQ(MemRead(0xDC01), 0xFF) << "the joystick plays no part in the keyboard scan";
}

TEST(CiaPorts, Cia2PortASelectsTheVideoBankAndReadsTheSerialLinesHigh) {
  test::PowerOnMachine();
  const std::pair<std::uint8_t, std::uint16_t> banks[] = {
      {0x03, 0x0000}, {0x02, 0x4000}, {0x01, 0x8000}, {0x00, 0xC000}, {0x97, 0x0000}};
  for (auto [value, bank] : banks) {
    MemWrite(0xDD00, value);
    EXPECT_EQ(Vic.BankBase, bank) << "port A " << int(value);
    EXPECT_EQ(MemRead(0xDD00), value | 0xC0);
    EXPECT_EQ(Cia2.Registers[CiaPortA], value | 0xC0);
  }
  MemWrite(0xDC00, 0x00);
  EXPECT_EQ(Vic.BankBase, 0x0000) << "CIA1's port A selects no bank";
}

}  // namespace
}  // namespace quillon
