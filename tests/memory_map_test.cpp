#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/machine.h"
#include "core/memory.h"
#include "core/rom_images.h"
#include "media/cartridge.h"
#include "support/machine.h"

namespace quillon {
namespace {

// Which memory answers a read in each banked range.
enum class Source { Ram, Basic, Kernal, Chargen, Io };

struct BankingRow {
  std::uint8_t port;
  Source basicArea, ioArea, kernalArea;
  bool ioWritable;
};

// Marks RAM under every ROM so a read tells RAM from ROM.
void MarkRamUnderRoms() {
  MainRam[0xA000] = 0x11;
  MainRam[0xD000] = 0x22;
  MainRam[0xD020] = 0x23;
  MainRam[0xD800] = 0x00;
  MainRam[0xE000] = 0x33;
}

Source WhoAnswers(std::uint16_t address, std::uint8_t ramMark, std::uint8_t romByte) {
  const std::uint8_t value = MemRead(address);
  if (value == ramMark) return Source::Ram;
  if (value == romByte) return address >= 0xE000 ? Source::Kernal
                               : address >= 0xD000 ? Source::Chargen
                                                   : Source::Basic;
  return Source::Io;
}

TEST(MemoryMap, EveryPortValueBanksTheRomsAndIoAsTheHardwareDoes) {
  const BankingRow rows[] = {
      {0, Source::Ram, Source::Ram, Source::Ram, false},
      {1, Source::Ram, Source::Chargen, Source::Ram, false},
      {2, Source::Ram, Source::Chargen, Source::Kernal, false},
      {3, Source::Basic, Source::Chargen, Source::Kernal, false},
      {4, Source::Ram, Source::Ram, Source::Ram, false},
      {5, Source::Ram, Source::Io, Source::Ram, true},
      {6, Source::Ram, Source::Io, Source::Kernal, true},
      {7, Source::Basic, Source::Io, Source::Kernal, true},
  };
  test::PowerOnMachine();
  // The identification block tells the I/O area from RAM and the character ROM.
  MainRam[0xDFFC] = 0x01;
  ASSERT_NE(RomImages.Chargen[0xFFC], 0x98);
  for (const BankingRow& row : rows) {
    SCOPED_TRACE("port value " + std::to_string(row.port));
    MarkRamUnderRoms();
    MainRam[1] = static_cast<std::uint8_t>(0x30 | row.port);
    EXPECT_EQ(WhoAnswers(0xA000, 0x11, RomImages.Basic[0]), row.basicArea);
    EXPECT_EQ(WhoAnswers(0xE000, 0x33, RomImages.Kernal[0]), row.kernalArea);
    const std::uint8_t id = MemRead(0xDFFC);
    const Source dArea = id == 0x98 ? Source::Io
                         : id == 0x01 ? Source::Ram
                                      : (id == RomImages.Chargen[0xFFC] ? Source::Chargen : Source::Ram);
    EXPECT_EQ(dArea, row.ioArea);
    // Writes under the ROMs always reach RAM; writes to $Dxxx reach RAM unless I/O is in.
    MemWrite(0xA000, 0x44);
    MemWrite(0xE000, 0x55);
    MemWrite(0xD800, 0x37);
    EXPECT_EQ(MainRam[0xA000], 0x44);
    EXPECT_EQ(MainRam[0xE000], 0x55);
    EXPECT_EQ(MainRam[0xD800] == 0x37, !row.ioWritable);
  }
}

TEST(MemoryMap, PortValueFollowsDirectionLatchAndPullUps) {
  test::PowerOnMachine();
  MainRam[1] = 0xC7;  // bits 6 and 7 set before the write
  MemWrite(0x0001, 0x00);
  // Outputs 0-3 and 5 take the latch's zeros, input 4 reads 1, inputs 6 and 7 keep their bits.
  EXPECT_EQ(MainRam[1], 0xD0);
  EXPECT_EQ(ProcessorPortLatch, 0x00);

  // Bit 5 is an output here (direction $2F), so it takes the latch's 1.
  MemWrite(0x0001, 0x36);
  EXPECT_EQ(MainRam[1], 0xF6);
  EXPECT_EQ(MemRead(0x0001), 0xF6);

  // All bits inputs: 0, 1, 2 and 4 pulled up, 5 reads 0, 3, 6 and 7 unchanged, whatever the latch.
  MainRam[1] = 0x28;
  MemWrite(0x0001, 0xFF);
  MemWrite(0x0000, 0x00);
  EXPECT_EQ(MainRam[0], 0x00);
  EXPECT_EQ(MainRam[1], 0x1F);
  // Turning bit 0 into an output applies the latch written before.
  MemWrite(0x0001, 0x00);
  MemWrite(0x0000, 0x01);
  EXPECT_EQ(MainRam[1], 0x1E);
}

TEST(MemoryMap, BasicBankedOutShowsTheRamWrittenUnderIt) {
  test::PowerOnMachine();
  MemWrite(0xA000, 0x5A);
  EXPECT_EQ(MemRead(0xA000), RomImages.Basic[0]);
  MemWrite(0x0001, 0x36);
  EXPECT_EQ(MemRead(0xA000), 0x5A);
  MemWrite(0x0001, 0x33);
  EXPECT_EQ(MemRead(0xD000), RomImages.Chargen[0]);
  MemWrite(0xD020, 0x07);
  EXPECT_EQ(MainRam[0xD020], 0x07);
}

TEST(MemoryMap, ColorRamKeepsFourBitsAndUnansweredAreasReadFF) {
  test::PowerOnMachine();
  MemWrite(0xD800, 0xAB);
  EXPECT_EQ(ColorRam[0], 0x0B);
  EXPECT_EQ(MemRead(0xD800), 0x0B);
  ColorRam[0x3E7] = 0xF5;
  EXPECT_EQ(MemRead(0xDBE7), 0x05);
  MemWrite(0xDBE8, 0x03);
  EXPECT_EQ(ColorRam[0x3E8], 0x00);
  EXPECT_EQ(MemRead(0xDBE8), 0xFF);
  EXPECT_EQ(MemRead(0xDBFF), 0xFF);
  for (std::uint16_t a : {0xDE00, 0xDEFF, 0xDF00, 0xDF9F}) {
    MemWrite(a, 0x00);
    EXPECT_EQ(MemRead(a), 0xFF) << a;
    EXPECT_NE(MainRam[a], 0x00) << a;
  }
}

TEST(MemoryMap, IdentificationBlockReadsTextVersionAndToggle) {
  test::PowerOnMachine();
  std::string text;
  std::uint16_t a = 0xDFA0;
  for (; MemRead(a) != 0; ++a) text += static_cast<char>(MemRead(a));
  EXPECT_EQ(text.rfind("QUILLON, V0.98\r", 0), 0u);
  const std::string tail = "WIN 32 PORT THIRD BETA ";
  ASSERT_GE(text.size(), tail.size());
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  EXPECT_GT(text.size(), 15 + tail.size()) << "a notice precedes the port name";
  for (++a; a < 0xDFFC; ++a) EXPECT_EQ(MemRead(a), 0) << a;
  EXPECT_EQ(MemRead(0xDFFC), 0x98);
  EXPECT_EQ(MemRead(0xDFFD), 0x00);
  EXPECT_EQ(MemRead(0xDFFE), 0x57);
  for (std::uint8_t expected : {0xAA, 0x55, 0xAA, 0x55, 0xAA}) EXPECT_EQ(MemRead(0xDFFF), expected);
  MemWrite(0xDFA0, 0x00);
  EXPECT_EQ(MemRead(0xDFA0), 'Q');
}

TEST(MemoryMap, AttachedCartridgeProtectsExactlyItsRomArea) {
  test::PowerOnMachine();
  CartridgeAttached = 1;
  for (std::uint16_t a : {0x8000, 0x8765, 0x9FFF}) {
    MemWrite(a, 0x01);
    EXPECT_NE(MainRam[a], 0x01) << a;
  }
  MemWrite(0x7FFF, 0x01);
  MemWrite(0xA000, 0x02);
  EXPECT_EQ(MainRam[0x7FFF], 0x01);
  EXPECT_EQ(MainRam[0xA000], 0x02);
  CartridgeAttached = 0;
  MemWrite(0x8000, 0x03);
  EXPECT_EQ(MainRam[0x8000], 0x03);
}

}  // namespace
}  // namespace quillon
