// Each machine model driven through the machine interface alone, as the shell drives it:
// boot to BASIC, type a line through the key matrix, run frames, and a snapshot that resumes
// exactly.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interface/create_machine.h"
#include "interface/machine.h"
#include "support/machine.h"

namespace quillon {
namespace {

// Key matrix positions (column, row) of the keys the tests type.
struct MatrixKey {
  char Character;
  int Column;
  int Row;
};
constexpr MatrixKey Keys[] = {
    {'P', 5, 1}, {'R', 2, 1}, {'I', 4, 1}, {'N', 4, 7}, {'T', 2, 6}, {' ', 7, 4},
    {'U', 3, 6}, {'6', 2, 3}, {'*', 6, 1}, {'7', 3, 0}, {'\n', 0, 1}, {'1', 7, 0},
    {'0', 4, 3},
};

void SetKey(Machine& machine, char character, bool down) {
  for (const MatrixKey& key : Keys) {
    if (key.Character != character) continue;
    std::uint8_t& column = machine.KeyMatrix()[key.Column];
    column = down ? column & ~(1u << key.Row) : column | (1u << key.Row);
    return;
  }
  FAIL() << "no key for '" << character << "'";
}

// Each key held for three frames and let go for three: the KERNAL scans the keyboard
// sixty times a second on PAL and NTSC alike.
void Type(Machine& machine, const std::string& text) {
  for (char character : text) {
    SetKey(machine, character, true);
    machine.RunFrames(3);
    SetKey(machine, character, false);
    machine.RunFrames(3);
  }
}

std::string ScreenRow(const Machine& machine, int row) {
  std::string text;
  for (int column = 0; column < 40; ++column) {
    const unsigned code =
        machine.Ram()[(machine.ScreenAddress() + row * 40 + column) & 0xFFFF] & 0x7F;
    text += static_cast<char>(code >= 1 && code <= 26 ? code + 0x40 : code < 64 ? code : '?');
  }
  return text.substr(0, text.find_last_not_of(' ') + 1);
}

bool ScreenShows(const Machine& machine, const std::string& line) {
  for (int row = 0; row < 25; ++row) {
    if (ScreenRow(machine, row) == line) return true;
  }
  return false;
}

std::unique_ptr<Machine> BootedMachine(MachineModel model) {
  std::unique_ptr<Machine> machine = CreateMachine(model);
  if (machine == nullptr || !machine->PowerOn()) return nullptr;
  for (int frame = 0; frame < 300 && !BasicWaitsForInput(*machine); ++frame) machine->RunFrames(1);
  return machine;
}

// The shell's part of the keyboard block, which these tests leave empty.
constexpr SnapshotKeyboardPart NoKeyboardPart = {[](SnapshotWriter&) {},
                                                 [](SnapshotReader&, bool) { return true; }};

struct Ending {
  std::vector<std::string> Screen;
  std::vector<std::uint8_t> Picture;
  std::vector<std::uint8_t> Borders;
  CpuRegisterFile Registers;
  std::uint64_t Clock;
  bool operator==(const Ending& other) const {
    return Screen == other.Screen && Picture == other.Picture && Borders == other.Borders &&
           Registers.A == other.Registers.A && Registers.X == other.Registers.X &&
           Registers.Y == other.Registers.Y && Registers.SP == other.Registers.SP &&
           Registers.P == other.Registers.P && Registers.PC == other.Registers.PC &&
           Clock == other.Clock;
  }
};

Ending EndOf(Machine& machine) {
  Ending ending;
  for (int row = 0; row < 25; ++row) ending.Screen.push_back(ScreenRow(machine, row));
  ending.Picture.assign(machine.Picture(), machine.Picture() + PictureWidth * PictureHeight);
  ending.Borders.assign(machine.LineBorderColors(),
                        machine.LineBorderColors() + BorderTableLines);
  ending.Registers = machine.Registers();
  ending.Clock = machine.Clock();
  return ending;
}

class MachineInterface : public testing::TestWithParam<MachineModel> {};

TEST_P(MachineInterface, BootsTypesAndRunsFramesOnBothStandards) {
  for (bool pal : {true, false}) {
    SCOPED_TRACE(pal ? "PAL" : "NTSC");
    std::unique_ptr<Machine> machine = CreateMachine(GetParam());
    ASSERT_NE(machine, nullptr);
    machine->SetPal(pal);
    ASSERT_TRUE(machine->PowerOn());
    EXPECT_EQ(machine->RunFrames(5), 5);
    std::unique_ptr<Machine> booted = BootedMachine(GetParam());
    ASSERT_TRUE(booted != nullptr && BasicWaitsForInput(*booted));
    EXPECT_TRUE(ScreenShows(*booted, "READY."));
    Type(*booted, "PRINT 6*7\n");
    booted->RunFrames(10);
    EXPECT_TRUE(ScreenShows(*booted, " 42"));
  }
}

TEST_P(MachineInterface, ASnapshotResumesExactly) {
  std::unique_ptr<Machine> machine = BootedMachine(GetParam());
  ASSERT_NE(machine, nullptr);
  Type(*machine, "10 PRINT 7\n");
  SnapshotWriter saved;
  machine->SaveState(saved, NoKeyboardPart);
  Type(*machine, "RUN\n");
  machine->RunFrames(20);
  const Ending uninterrupted = EndOf(*machine);
  EXPECT_TRUE(ScreenShows(*machine, " 7"));

  // The machine elsewhere meanwhile: a reset and frames that change everything.
  machine->RequestReset();
  machine->RunFrames(30);
  SnapshotReader in{saved.Bytes.data(), saved.Bytes.size()};
  ASSERT_EQ(machine->LoadState(in, NoKeyboardPart), "");
  Type(*machine, "RUN\n");
  machine->RunFrames(20);
  EXPECT_TRUE(EndOf(*machine) == uninterrupted);

  // A snapshot cut short is refused whole, and the machine goes on as it was.
  const Ending before = EndOf(*machine);
  SnapshotReader cut{saved.Bytes.data(), saved.Bytes.size() / 2};
  EXPECT_NE(machine->LoadState(cut, NoKeyboardPart), "");
  EXPECT_TRUE(EndOf(*machine) == before);
}

INSTANTIATE_TEST_SUITE_P(Models, MachineInterface, testing::Values(MachineModel::Classic,
                                                                  MachineModel::Accurate),
                         [](const testing::TestParamInfo<MachineModel>& model) {
                           return test::ModelName(model.param);
                         });

}  // namespace
}  // namespace quillon
