#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "media/program_file.h"
#include "support/files.h"
#include "support/machine.h"
#include "vic/frame_image.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WithP00Header(Bytes bytes) {
  static const char header[26] = "C64File\0PROGRAM NAME";
  bytes.insert(bytes.begin(), header, header + sizeof header);
  return bytes;
}

void Load(const char* name, const Bytes& bytes) {
  LoadProgramFile(test::WriteTempFile(name, bytes).c_str(), MainRam);
}

int FindRow(const std::string& text) {
  for (int row = 0; row < 25; ++row) {
    if (test::ScreenRowText(row).starts_with(text)) return row;
  }
  return -1;
}

TEST(ProgramFile, BasicProgramLoadedAtTheReadyPromptRunsAtOnce) {
  const Bytes program = test::BasicProgramFile({"10 FOR I=1 TO 3", "20 PRINT \"LINE\";I*7", "30 NEXT"});
  for (bool p00 : {false, true}) {
    test::PowerOnMachine();
    test::RunFrames(150);
    Load(p00 ? "count.p00" : "count.prg", p00 ? WithP00Header(program) : program);
    test::RunFrames(30);
    const int first = FindRow("LINE 7 ");
    ASSERT_GE(first, 0) << (p00 ? "P00" : "PRG");
    EXPECT_EQ(FindRow("RUN"), first - 1) << "RUN was typed into the editor";
    EXPECT_EQ(FindRow("LINE 21 "), first + 2);
  }
}

TEST(ProgramFile, BytesGoStraightToRamAndBasicsPointersFollowTheEnd) {
  test::PowerOnMachine();
  Bytes file = {0x01, 0x08};
  for (int i = 0; i < 100; ++i) file.push_back(static_cast<std::uint8_t>(i + 1));
  Load("hundred.prg", file);
  EXPECT_EQ(MainRam[0x0864], 100);
  EXPECT_EQ(MainRam[0x0865], 0x99) << "nothing past the last byte";
  EXPECT_EQ(Bytes(MainRam + 0x2D, MainRam + 0x33), (Bytes{0x65, 0x08, 0x66, 0x08, 0x67, 0x08}));
  EXPECT_EQ(0, std::memcmp(MainRam + 0x0277, "RUN\r", 4));
  EXPECT_EQ(MainRam[0xC6], 4);
  // Under a PRG name a P00 header is data: its "C6" is the load address.
  Load("header.prg", WithP00Header(file));
  EXPECT_EQ(0, std::memcmp(MainRam + 0x3643, "4File", 5));
  // The three pointers take the end's high byte with no carry; addresses wrap at the top.
  Load("wrap.prg", {0xFC, 0xFF, 1, 2, 3, 4, 5});
  EXPECT_EQ(MainRam[0x0000], 5);
  EXPECT_EQ(Bytes(MainRam + 0x2D, MainRam + 0x33), (Bytes{0x01, 0x00, 0x02, 0x00, 0x03, 0x00}));
  Load("to08fe.prg", {0xFE, 0x08});
  EXPECT_EQ(MainRam[0x31] + MainRam[0x32] * 256, 0x0800) << "$08FE + 2 keeps the high byte";
  // Files too short to hold a load address change nothing.
  const Bytes before(MainRam, MainRam + MainRamSize);
  LoadProgramFile("/nonexistent/quillon/prog.prg", MainRam);
  Load("one.prg", {0x01});
  Load("short.p00", Bytes(27, 0x01));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), MainRam));
}

std::uint8_t PowerOnByte(unsigned address) { return (address & 0x80) ? 0x66 : 0x99; }

void AttachAndReset(const std::string& name, const Bytes& image) {
  CartridgePath = test::WriteTempFile(name, image);
  CartridgeAttached = 1;
  HardReset();
}

TEST(Cartridge, AutostartCartridgeRunsItsOwnCodeUntilRemoved) {
  test::PowerOnMachine();
  test::RunFrames(10);
  Bytes rom(0x2000, 0xEA);
  const Bytes start = {0x09, 0x80, 0x09, 0x80,        // cold and warm start vectors: $8009
                       0xC3, 0xC2, 0xCD, 0x38, 0x30,  // "CBM80"
                       0xA9, 0x05, 0x8D, 0x20, 0xD0,  // LDA #5 (green), STA $D020
                       0x8D, 0x00, 0x90,              // STA $9000, over its own image
                       0x4C, 0x11, 0x80};             // JMP *
  std::copy(start.begin(), start.end(), rom.begin());
  CartridgePath = test::WriteTempFile("border.crt", test::CrtImage(0, {{0x8000, rom}}));
  CartridgeAttached = 1;
  Cpu.ResetRequest = 1;
  test::RunFrames(5);
  EXPECT_EQ(FrameImage.LineBorderColor[150], 5);
  EXPECT_EQ(MainRam[0x9000], 0xEA) << "CPU writes to $8000-$9FFF are dropped";
  MemWrite(0x7FFF, 0x01);
  MemWrite(0xA000, 0x02);
  EXPECT_EQ(MainRam[0x7FFF] + MainRam[0xA000], 3) << "only the cartridge's area is protected";

  CartridgeAttached = 0;
  Cpu.ResetRequest = 1;
  test::RunFrames(150);
  EXPECT_EQ(FrameImage.LineBorderColor[150], 14) << "BASIC's light blue border is back";
  for (unsigned a = 0x8000; a < 0xA000; ++a) ASSERT_EQ(MainRam[a], PowerOnByte(a));
  MemWrite(0x8123, 0x42);
  EXPECT_EQ(MainRam[0x8123], 0x42);
}

TEST(Cartridge, OnlyTheFirstPacketOfTypesZeroAndFourLoadsAndAddressesWrap) {
  test::PowerOnMachine();
  AttachAndReset("two.crt", test::CrtImage(4, {{0x8000, Bytes(0x2000, 0x11)}, {0xA000, Bytes(0x2000, 0x22)}}));
  EXPECT_EQ(MainRam[0x9FFF], 0x11);
  EXPECT_EQ(MainRam[0xA000], PowerOnByte(0xA000));
  AttachAndReset("type5.crt", test::CrtImage(5, {{0x8000, Bytes(0x2000, 0x11)}}));
  EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000));
  Bytes data(0x4000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i >> 8);
  AttachAndReset("wrap.crt", test::CrtImage(0, {{0xE000, data}}));
  EXPECT_EQ(MainRam[0xFFFF], 0x1F);
  EXPECT_EQ(MainRam[0x1FFF], 0x3F);
  EXPECT_EQ(MainRam[0x2000], PowerOnByte(0x2000));
}

TEST(Cartridge, ShortFilesCopyOnlyWhatTheyHoldAndLongPathsWork) {
  test::PowerOnMachine();
  Bytes image = test::CrtImage(0, {{0x8000, Bytes(0x2000, 0x77)}});
  image.resize(64 + 16 + 100);  // the packet claims 8 KB; the file holds 100 bytes of it
  AttachAndReset("cut.crt", image);
  EXPECT_EQ(MainRam[0x8063], 0x77);
  for (unsigned a = 0x8064; a < 0xA000; ++a) ASSERT_EQ(MainRam[a], PowerOnByte(a));
  for (std::size_t length : {0, 40, 64 + 15}) {
    image.resize(length);
    AttachAndReset("headers.crt", image);
    EXPECT_EQ(MainRam[0x8000], PowerOnByte(0x8000)) << "a file cut at " << length;
  }
  const std::string part(200, 'd');
  AttachAndReset(part + "/" + part + "/" + part + "/long.crt", test::CrtImage(0, {{0x8000, Bytes(16, 0x5B)}}));
  EXPECT_EQ(MainRam[0x800F], 0x5B);
}

}  // namespace
}  // namespace quillon
