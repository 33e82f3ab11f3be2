#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/machine.h"
#include "core/rom_images.h"
#include "host/trace_view.h"
#include "support/machine.h"
#include "support/picture_text.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

class TraceViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::PowerOnMachine();
    std::memset(FrameImage.Picture, 5, PictureWidth * PictureHeight);
  }
  static std::string TopRowAfter(std::uint16_t pc, std::initializer_list<std::uint8_t> bytes) {
    std::uint16_t address = pc;
    for (std::uint8_t byte : bytes) MainRam[address++] = byte;
    DrawTraceView(pc, 0, 0, 0, 0x30, 0xFF);
    return test::PictureRowText(0);
  }
};

TEST_F(TraceViewTest, ShowsAddressBytesAndDisassemblyOfTheInstructionAtThePc) {
  EXPECT_EQ(TopRowAfter(0xC000, {0xA9, 0x01}), "$C000: $A9 $01 $..: LDA #$01    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0x0801, {0x4C, 0x00, 0xC0}), "$0801: $4C $00 $C0: JMP $C000   NV-BDIZC");
  // A branch shows its raw offset, not the target.
  EXPECT_EQ(TopRowAfter(0xC000, {0xD0, 0xFB}), "$C000: $D0 $FB $..: BNE $*FB    NV-BDIZC");
  EXPECT_EQ(TopRowAfter(0xC000, {0xEA, 0x62}), "$C000: $EA $.. $..: NOP         NV-BDIZC");
  // An operand byte that happens to be a letter's code is still one byte.
  EXPECT_EQ(TopRowAfter(0xC000, {0x91, 0x62}), "$C000: $91 $62 $..: STA ($62),Y NV-BDIZC");

  // Addresses, bytes and mnemonic in white; the separators and flag names in yellow.
  EXPECT_TRUE(test::CellShowsGlyph(0, 0, 0x24, 1, 0));
  EXPECT_TRUE(test::CellShowsGlyph(18, 0, 0x3A, 7, 0));
  EXPECT_TRUE(test::CellShowsGlyph(20, 0, 0x13, 1, 0));  // "S" of STA
  EXPECT_TRUE(test::CellShowsGlyph(32, 0, 0x0E, 7, 0));  // "N" of NV-BDIZC
}

TEST_F(TraceViewTest, ShowsFlagBitsUnderTheirNamesAndTheRegisters) {
  MainRam[0xC000] = 0xEA;
  DrawTraceView(0xC000, 0x01, 0x9A, 0xFF, 0x30, 0xF6);
  EXPECT_EQ(test::PictureRowText(1), "STACKP: $00F6 A:$01 X:$9A Y:$FF 00110000");
  EXPECT_TRUE(test::CellShowsGlyph(0, 1, 0x13, 7, 0));
  EXPECT_TRUE(test::CellShowsGlyph(34, 1, 0x31, 1, 0));
  // Only the top two text rows are drawn.
  EXPECT_EQ(test::PictureRowText(2), std::string(40, '~'));
}

TEST_F(TraceViewTest, ReadsTheBytesTheCpuWouldFetch) {
  // The KERNAL is banked in over the RAM at $E000.
  MainRam[0xE000] = 0xEA;
  const std::uint8_t rom = RomImages.Kernal[0];
  DrawTraceView(0xE000, 0, 0, 0, 0x30, 0xFF);
  const std::string digits = "0123456789ABCDEF";
  EXPECT_EQ(test::PictureRowText(0).substr(7, 3),
            std::string("$") + digits[rom >> 4] + digits[rom & 15]);
}

}  // namespace
}  // namespace quillon
