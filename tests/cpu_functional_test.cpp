#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon {
namespace {

// The standard exerciser of every documented instruction, run from all-RAM memory through the
// real bus. It ends in a jump to itself: at $3469 when every check passed, elsewhere at the
// check that failed (its listing explains the address).
TEST(CpuExerciser, RunsEveryDocumentedInstructionToItsSuccessLoop) {
  test::PowerOnMachine();
  std::FILE* file = std::fopen(QUILLON_TESTDATA_DIR "/6502_functional_test.bin", "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fread(MainRam, 1, MainRamSize, file), MainRamSize);
  std::fclose(file);
  // The image's port byte has LORAM and HIRAM clear, which maps RAM everywhere; its zero page
  // starts at $0A, so the port is never written.
  ASSERT_EQ(MainRam[1] & 3, 0);
  Cpu.PC = 0x0400;

  long cycles = 0;
  for (std::uint16_t previous = 0; cycles < 150'000'000; ++cycles) {
    CpuExecute();
    if (Cpu.Opcode != ServiceMarker) continue;
    if (Cpu.PC == previous) break;
    previous = Cpu.PC;
  }
  EXPECT_EQ(Cpu.PC, 0x3469) << std::hex << "stopped at $" << Cpu.PC;
  std::printf("exerciser reached $%04X after %ld cycles\n", Cpu.PC, cycles + 1);
}

}  // namespace
}  // namespace quillon
