#include <gtest/gtest.h>

#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "support/machine.h"

namespace quillon {
namespace {

TEST(MemoryMap, EveryPortValueBanksTheRomsAndIoAsTheHardwareDoes) {
  // Per port value: who answers at $A000, $D000 and $E000 (R = RAM, B/C/K = ROM, I = I/O).
  const char* const rows[8] = {"RRR", "RCR", "RCK", "BCK", "RRR", "RIR", "RIK", "BIK"};
  test::PowerOnMachine();
  for (int port = 0; port < 8; ++port) {
    SCOPED_TRACE("port value " + std::to_string(port));
    MainRam[0xA000] = 0x11;
    MainRam[0xD000] = 0x22;
    MainRam[0xDFFC] = 0x22;
    MainRam[0xE000] = 0x33;
    MainRam[0xD800] = 0;
    MainRam[1] = static_cast<std::uint8_t>(0x30 | port);
    const std::string answers = {MemRead(0xA000) == 0x11 ? 'R' : 'B',
                                 MemRead(0xDFFC) == 0x98                     ? 'I'
                                 : MemRead(0xD000) == RomImages.Chargen[0] ? 'C'
                                                                             : 'R',
                                 MemRead(0xE000) == 0x33 ? 'R' : 'K'};
    EXPECT_EQ(answers, rows[port]);
    // Writes always reach the RAM under the ROMs, and under $Dxxx unless I/O is in.
    MemWrite(0xA000, 0x44);
    MemWrite(0xE000, 0x55);
    MemWrite(0xD800, 0x37);
    EXPECT_EQ(MainRam[0xA000] + MainRam[0xE000], 0x44 + 0x55);
    EXPECT_EQ(MainRam[0xD800] == 0x37, rows[port][1] != 'I');
  }
}

TEST(MemoryMap, PortValueFollowsDirectionLatchAndPullUps) {
  test::PowerOnMachine();
  MainRam[1] = 0xC7;
  MemWrite(0x0001, 0x00);
  // Outputs 0-3 and 5 take the latch's zeros, input 4 reads 1, inputs 6 and 7 keep their bits.
  EXPECT_EQ(MemRead(0x0001), 0xD0);
  MemWrite(0x0001, 0x36);
  EXPECT_EQ(MemRead(0x0001), 0xF6);
  // All bits inputs: 0, 1, 2 and 4 pulled up, 5 reads 0, 3, 6 and 7 unchanged.
  MainRam[1] = 0x28;
  MemWrite(0x0001, 0xFF);
  MemWrite(0x0000, 0x00);
  EXPECT_EQ(MainRam[1], 0x1F);
  // Turning bit 0 into an output applies the latch written before.
  MemWrite(0x0001, 0x00);
  MemWrite(0x0000, 0x01);
  EXPECT_EQ(MainRam[1], 0x1E);
}

TEST(MemoryMap, ColourRamNibblesUnansweredAreasAndTheIdentificationBlock) {
  test::PowerOnMachine();
  MemWrite(0xD800, 0xAB);
  EXPECT_EQ(MemRead(0xD800), 0x0B);
  ColorRam[0x3E7] = 0xF5;
  EXPECT_EQ(MemRead(0xDBE7), 0x05);
  for (std::uint16_t a : {0xDBE8, 0xDBFF, 0xDE00, 0xDF9F}) {
    MemWrite(a, 0x00);
    EXPECT_EQ(MemRead(a), 0xFF) << a;
    EXPECT_NE(MainRam[a], 0x00) << a;
  }
  EXPECT_EQ(ColorRam[0x3E8], 0x00);

  std::string text;
  std::uint16_t a = 0xDFA0;
  for (; MemRead(a) != 0; ++a) text += static_cast<char>(MemRead(a));
  EXPECT_TRUE(text.starts_with("QUILLON, V0.98\r")) << text;
  EXPECT_TRUE(text.ends_with("WIN 32 PORT THIRD BETA ")) << text;
  EXPECT_GT(text.size(), 15u + 23u) << "a notice stands between them";
  for (++a; a < 0xDFFC; ++a) ASSERT_EQ(MemRead(a), 0) << a;
  EXPECT_EQ(MemRead(0xDFFC) << 16 | MemRead(0xDFFD) << 8 | MemRead(0xDFFE), 0x980057);
  for (std::uint8_t expected : {0xAA, 0x55, 0xAA}) EXPECT_EQ(MemRead(0xDFFF), expected);
  MemWrite(0xDFA0, 0x00);
  EXPECT_EQ(MemRead(0xDFA0), 'Q');
}

}  // namespace
}  // namespace quillon
