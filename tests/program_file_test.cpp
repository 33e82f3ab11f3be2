#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/machine.h"
#include "media/cartridge.h"
#include "media/program_file.h"
#include "support/basic_program.h"
#include "support/machine.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

using test::PowerOnMachine;
using test::WriteTempFile;

std::vector<std::uint8_t> ProgramBytes(std::uint16_t loadAddress, std::size_t count) {
  std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(loadAddress),
                                     static_cast<std::uint8_t>(loadAddress >> 8)};
  for (std::size_t i = 0; i < count; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 3 + 1));
  return bytes;
}

std::vector<std::uint8_t> WithP00Header(std::vector<std::uint8_t> bytes) {
  static const char header[26] = "C64File\0PROGRAM NAME";
  bytes.insert(bytes.begin(), header, header + sizeof header);
  return bytes;
}

std::vector<std::uint8_t> BasicPointers() {
  return std::vector<std::uint8_t>(MainRam + 0x2D, MainRam + 0x33);
}

TEST(ProgramFile, CopiesTheBytesSetsBasicsPointersAndTypesRun) {
  PowerOnMachine();
  MainRam[0xC6] = 2;
  LoadProgramFile(WriteTempFile("hundred.prg", ProgramBytes(0x0801, 100)).c_str());
  for (std::size_t i = 0; i < 100; ++i) {
    ASSERT_EQ(MainRam[0x0801 + i], static_cast<std::uint8_t>(i * 3 + 1));
  }
  EXPECT_EQ(MainRam[0x0865], 0x99) << "nothing past the last byte";
  EXPECT_EQ(BasicPointers(), (std::vector<std::uint8_t>{0x65, 0x08, 0x66, 0x08, 0x67, 0x08}));
  EXPECT_EQ(0, std::memcmp(MainRam + 0x0277, "RUN\r", 4));
  EXPECT_EQ(MainRam[0xC6], 4);

  // The three pointers share the end's high byte, with no carry from +1 and +2.
  LoadProgramFile(WriteTempFile("to08fd.prg", ProgramBytes(0x0801, 0xFD)).c_str());
  EXPECT_EQ(BasicPointers(), (std::vector<std::uint8_t>{0xFE, 0x08, 0xFF, 0x08, 0x00, 0x08}));
  LoadProgramFile(WriteTempFile("to08ff.prg", ProgramBytes(0x0801, 0xFF)).c_str());
  EXPECT_EQ(BasicPointers(), (std::vector<std::uint8_t>{0x00, 0x09, 0x01, 0x09, 0x02, 0x09}));

  // A load address alone sets the end to it.
  LoadProgramFile(WriteTempFile("empty.prg", ProgramBytes(0x1234, 0)).c_str());
  EXPECT_EQ(BasicPointers(), (std::vector<std::uint8_t>{0x34, 0x12, 0x35, 0x12, 0x36, 0x12}));
}

TEST(ProgramFile, AddressesWrapFromTheTopOfMemoryToTheBottom) {
  PowerOnMachine();
  LoadProgramFile(WriteTempFile("wrap.prg", ProgramBytes(0xFFFE, 4)).c_str());
  EXPECT_EQ(MainRam[0xFFFE], 1);
  EXPECT_EQ(MainRam[0xFFFF], 4);
  EXPECT_EQ(MainRam[0x0000], 7);
  EXPECT_EQ(MainRam[0x0001], 10);
  EXPECT_EQ(MainRam[0x2D], 0x02);
  EXPECT_EQ(MainRam[0x2E], 0x00);
}

TEST(ProgramFile, TheLastCharacterOfTheNameDecidesWhetherAHeaderIsSkipped) {
  PowerOnMachine();
  const std::vector<std::uint8_t> p00 = WithP00Header(ProgramBytes(0x0801, 100));
  LoadProgramFile(WriteTempFile("prog.p00", p00).c_str());
  EXPECT_EQ(MainRam[0x0801], 1);
  EXPECT_EQ(MainRam[0x2D], 0x65);

  // Under a PRG name the header's "C6" is the load address and the rest is program.
  PowerOnMachine();
  LoadProgramFile(WriteTempFile("prog.prg", p00).c_str());
  EXPECT_EQ(0, std::memcmp(MainRam + 0x3643, "4File", 5));
  EXPECT_EQ(MainRam[0x3643 + 24], 0x01) << "the load address bytes of the real program";
  EXPECT_EQ(MainRam[0x3643 + 26], 1);
  EXPECT_EQ(MainRam[0x0801], 0x99);
}

TEST(ProgramFile, FilesWithoutALoadAddressChangeNothing) {
  PowerOnMachine();
  const std::vector<std::uint8_t> before(MainRam, MainRam + MainRamSize);
  LoadProgramFile("/nonexistent/quillon/prog.prg");
  LoadProgramFile(WriteTempFile("one.prg", {0x01}).c_str());
  LoadProgramFile(WriteTempFile("short.p00", std::vector<std::uint8_t>(27, 0x01)).c_str());
  LoadProgramFile(WriteTempFile("nothing.prg", {}).c_str());
  EXPECT_TRUE(std::equal(before.begin(), before.end(), MainRam));
}

TEST(ProgramFile, LoadsOverAnAttachedCartridgesImage) {
  PowerOnMachine();
  CartridgeAttached = 1;
  LoadProgramFile(WriteTempFile("high.prg", ProgramBytes(0x8000, 2)).c_str());
  EXPECT_EQ(MainRam[0x8000], 1);
  EXPECT_EQ(MainRam[0x8001], 4);
}

// The screen row that starts with `text`, or -1.
int FindRow(const std::string& text) {
  for (int row = 0; row < 25; ++row) {
    if (test::ScreenRowText(row).starts_with(text)) return row;
  }
  return -1;
}

TEST(ProgramFile, BasicProgramLoadedAtTheReadyPromptRunsAtOnce) {
  const std::vector<std::uint8_t> program =
      test::BasicProgramFile({"10 FOR I=1 TO 3", "20 PRINT \"LINE\";I*7", "30 NEXT"});
  for (bool p00 : {false, true}) {
    PowerOnMachine();
    test::RunFrames(150);
    ASSERT_GE(FindRow("READY."), 0);
    LoadProgramFile(WriteTempFile(p00 ? "count.p00" : "count.prg",
                                  p00 ? WithP00Header(program) : program)
                        .c_str());
    test::RunFrames(30);
    const int first = FindRow("LINE  7");
    ASSERT_GE(first, 0) << (p00 ? "P00" : "PRG");
    EXPECT_EQ(FindRow("LINE  14"), first + 1);
    EXPECT_EQ(FindRow("LINE  21"), first + 2);
    EXPECT_EQ(FindRow("RUN"), first - 1) << "RUN was typed into the editor";
  }
}

}  // namespace
}  // namespace quillon
