#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "support/machine.h"
#include "support/temp_file.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

using test::PowerOnMachine;
using test::WriteTempFile;

struct ChipPacket {
  std::uint16_t LoadAddress;
  std::vector<std::uint8_t> Data;
};

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// A CRT image: the 64-byte file header, then one CHIP packet per entry.
std::vector<std::uint8_t> CrtImage(std::uint16_t hardwareType, const std::vector<ChipPacket>& packets) {
  const std::string signature = "C64 CARTRIDGE   ";
  std::vector<std::uint8_t> image(signature.begin(), signature.end());
  AppendBigEndian(image, 0x40, 4);        // header length
  AppendBigEndian(image, 0x0100, 2);      // version
  AppendBigEndian(image, hardwareType, 2);
  image.push_back(0);                     // EXROM
  image.push_back(1);                     // GAME
  image.resize(64, 0);                    // reserved bytes and the name
  for (const ChipPacket& packet : packets) {
    image.insert(image.end(), {'C', 'H', 'I', 'P'});
    AppendBigEndian(image, static_cast<std::uint32_t>(0x10 + packet.Data.size()), 4);
    AppendBigEndian(image, 0, 2);  // ROM
    AppendBigEndian(image, 0, 2);  // bank
    AppendBigEndian(image, packet.LoadAddress, 2);
    AppendBigEndian(image, static_cast<std::uint32_t>(packet.Data.size()), 2);
    image.insert(image.end(), packet.Data.begin(), packet.Data.end());
  }
  return image;
}

std::vector<std::uint8_t> Filled(std::size_t size, std::uint8_t value) {
  return std::vector<std::uint8_t>(size, value);
}

std::uint8_t PowerOnByte(unsigned address) { return (address & 0x80) ? 0x66 : 0x99; }

void AttachAndReset(const std::string& path) {
  CartridgePath = path;
  CartridgeAttached = 1;
  HardReset();
}

// An 8 KB autostart cartridge whose start routine sets the border to `color`, tries to
// overwrite its own image at $9000, and then loops.
std::vector<std::uint8_t> BorderCartridge(std::uint8_t color) {
  std::vector<std::uint8_t> rom(0x2000, 0xEA);
  const std::vector<std::uint8_t> start = {
      0x09, 0x80, 0x09, 0x80,        // cold and warm start: $8009
      0xC3, 0xC2, 0xCD, 0x38, 0x30,  // "CBM80"
      0xA9, color,                   // $8009 LDA #color
      0x8D, 0x20, 0xD0,              //       STA $D020
      0x8D, 0x00, 0x90,              //       STA $9000
      0x4C, 0x11, 0x80};             // $8011 JMP $8011
  std::copy(start.begin(), start.end(), rom.begin());
  return CrtImage(0, {{0x8000, rom}});
}

TEST(Cartridge, NormalCartridgeIsPlacedAtEveryResetAndProtectedWhileAttached) {
  PowerOnMachine();
  AttachAndReset(WriteTempFile("normal.crt", CrtImage(0, {{0x8000, Filled(0x2000, 0x5A)}})));
  EXPECT_EQ(MainRam[0x8000], 0x5A);
  EXPECT_EQ(MainRam[0x9FFF], 0x5A);
  EXPECT_EQ(MainRam[0xA000], PowerOnByte(0xA000));
  MemWrite(0x8123, 0x00);
  EXPECT_EQ(MainRam[0x8123], 0x5A);

  // The image comes back with each reset, from the file as it is then.
  MainRam[0x8123] = 0;
  AttachAndReset(WriteTempFile("normal.crt", CrtImage(0, {{0x8000, Filled(0x2000, 0x3C)}})));
  EXPECT_EQ(MainRam[0x8123], 0x3C);

  CartridgeAttached = 0;
  HardReset();
  for (unsigned a = 0x8000; a < 0xA000; ++a) ASSERT_EQ(MainRam[a], PowerOnByte(a));
  MemWrite(0x8123, 0x42);
  EXPECT_EQ(MainRam[0x8123], 0x42);
}

TEST(Cartridge, OnlyTypesZeroAndFourAndOnlyTheFirstPacketAreLoaded) {
  PowerOnMachine();
  AttachAndReset(WriteTempFile("two.crt", CrtImage(4, {{0x8000, Filled(0x2000, 0x11)},
                                                       {0xA000, Filled(0x2000, 0x22)}})));
  EXPECT_EQ(MainRam[0x8000], 0x11);
  EXPECT_EQ(MainRam[0xA000], PowerOnByte(0xA000));

  AttachAndReset(WriteTempFile("type5.crt", CrtImage(5, {{0x8000, Filled(0x2000, 0x11)}})));
  EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000));
  MemWrite(0x8000, 0x00);
  EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000)) << "still attached, still protected";

  AttachAndReset("/nonexistent/quillon/cart.crt");
  EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000));
}

TEST(Cartridge, DataWrapsFromTheTopOfMemoryToTheBottom) {
  PowerOnMachine();
  std::vector<std::uint8_t> data(0x4000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i >> 8);
  AttachAndReset(WriteTempFile("wrap.crt", CrtImage(0, {{0xE000, data}})));
  EXPECT_EQ(MainRam[0xE000], 0x00);
  EXPECT_EQ(MainRam[0xFFFF], 0x1F);
  EXPECT_EQ(MainRam[0x0000], 0x20);
  EXPECT_EQ(MainRam[0x1FFF], 0x3F);
  EXPECT_EQ(MainRam[0x2000], PowerOnByte(0x2000));
}

TEST(Cartridge, ShortFilesCopyOnlyWhatTheyHold) {
  PowerOnMachine();
  // The packet claims 8 KB but the file ends after 100 bytes of it.
  std::vector<std::uint8_t> image = CrtImage(0, {{0x8000, Filled(0x2000, 0x77)}});
  image.resize(64 + 16 + 100);
  AttachAndReset(WriteTempFile("cut.crt", image));
  EXPECT_EQ(MainRam[0x8063], 0x77);
  for (unsigned a = 0x8064; a < 0xA000; ++a) ASSERT_EQ(MainRam[a], PowerOnByte(a));

  // A file that ends inside its headers loads nothing.
  for (std::size_t length : {std::size_t{0}, std::size_t{40}, std::size_t{64 + 15}}) {
    image.resize(length);
    AttachAndReset(WriteTempFile("headers.crt", image));
    EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000)) << "length " << length;
  }
}

TEST(Cartridge, PathsLongerThanAFileDialogBufferWork) {
  PowerOnMachine();
  const std::string part(200, 'd');
  const std::string path = WriteTempFile(part + "/" + part + "/" + part + "/long.crt",
                                         CrtImage(0, {{0x8000, Filled(16, 0x5B)}}));
  ASSERT_GT(path.size(), 600u);
  AttachAndReset(path);
  EXPECT_EQ(MainRam[0x800F], 0x5B);
}

TEST(Cartridge, AutostartCartridgeRunsItsOwnCodeAfterTheReset) {
  PowerOnMachine();
  test::RunFrames(10);
  CartridgePath = WriteTempFile("border.crt", BorderCartridge(5));
  CartridgeAttached = 1;
  Cpu.ResetRequest = 1;
  test::RunFrames(5);
  EXPECT_EQ(FrameImage.LineBorderColor[150], 5);
  EXPECT_EQ(MainRam[0x9000], 0xEA) << "the CPU cannot write over the cartridge";

  CartridgeAttached = 0;
  Cpu.ResetRequest = 1;
  test::RunFrames(150);
  EXPECT_EQ(FrameImage.LineBorderColor[150], 14) << "BASIC's light blue border is back";
  for (unsigned a = 0x8000; a < 0xA000; ++a) ASSERT_EQ(MainRam[a], PowerOnByte(a));
}

}  // namespace
}  // namespace quillon
