// Wolfgang Lorenz's test suite on the accurate machine: every run of tests.tsv, with the CIA it
// names, as the command line's --model accurate --debug-exit would make it. Each program writes 0
// to $D7FF when it passes and $FF when it fails.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "interface/create_machine.h"
#include "support/accurate.h"

namespace quillon {
namespace {

constexpr char SuiteDirectory[] = QUILLON_TESTDATA_DIR "/lorenz-2.15";
constexpr std::uint64_t PalCyclesPerFrame = 63 * 312;

struct SuiteRun {
  std::string Program;
  std::uint64_t Cycles;
  std::string Cia;  // old, new or any
};

std::vector<SuiteRun> ReadRuns() {
  std::vector<SuiteRun> runs;
  std::ifstream table(std::string(SuiteDirectory) + "/tests.tsv");
  std::string line;
  std::getline(table, line);  // the column names
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    SuiteRun run;
    if (fields >> run.Program >> run.Cycles >> run.Cia) runs.push_back(run);
  }
  return runs;
}

void PrintTo(const SuiteRun& run, std::ostream* out) {
  *out << run.Program << " (" << run.Cia << " CIA, " << run.Cycles << " cycles)";
}

class Lorenz : public testing::TestWithParam<SuiteRun> {};

TEST_P(Lorenz, WritesZeroToTheDebugPort) {
  const SuiteRun& run = GetParam();
  auto machine = test::BootAccurate(run.Cia == "new");
  ASSERT_TRUE(BasicWaitsForInput(*machine));
  machine->EnableDebugExit(true);
  ASSERT_TRUE(machine->LoadProgram(std::string(SuiteDirectory) + "/" + run.Program));
  const auto frames = static_cast<std::int32_t>(run.Cycles / PalCyclesPerFrame + 1);
  machine->RunFrames(frames);
  EXPECT_TRUE(machine->StopRequested()) << "no status within " << run.Cycles << " cycles";
  EXPECT_EQ(machine->DebugExitStatus(), 0);
}

std::string RunName(const testing::TestParamInfo<SuiteRun>& info) {
  std::string name = info.param.Program.substr(0, info.param.Program.find('.'));
  if (info.param.Cia != "any") name += "_" + info.param.Cia;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(Suite, Lorenz, testing::ValuesIn(ReadRuns()), RunName);

}  // namespace
}  // namespace quillon
