#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/machine.h"
#include "media/program_file.h"
#include "support/basic_program.h"
#include "support/machine.h"
#include "support/temp_file.h"

namespace quillon {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WithP00Header(Bytes bytes) {
  static const char header[26] = "C64File\0PROGRAM NAME";
  bytes.insert(bytes.begin(), header, header + sizeof header);
  return bytes;
}

void Load(const char* name, const Bytes& bytes) {
  LoadProgramFile(test::WriteTempFile(name, bytes).c_str());
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
  LoadProgramFile("/nonexistent/quillon/prog.prg");
  Load("one.prg", {0x01});
  Load("short.p00", Bytes(27, 0x01));
  EXPECT_TRUE(std::equal(before.begin(), before.end(), MainRam));
}

}  // namespace
}  // namespace quillon
