#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/machine.h"
#include "cpu/cpu.h"
#include "support/machine.h"

namespace quillon {
namespace {

// The standard exerciser of every documented instruction, run from all-RAM memory through the
// real bus. It ends in a jump to itself: at $3469 when every check passed, elsewhere at the
// check that failed (its listing explains the address).
TEST(CpuExerciser, RunsEveryDocumentedInstructionToItsSuccessLoop) {
  std::FILE* file = std::fopen(QUILLON_TESTDATA_DIR "/6502_functional_test.bin", "rb");
  ASSERT_NE(file, nullptr);
  std::vector<std::uint8_t> image(MainRamSize);
  const std::size_t size = std::fread(image.data(), 1, image.size(), file);
  std::fclose(file);
  ASSERT_EQ(size, MainRamSize);

  test::PowerOnMachine();
  for (std::size_t a = 0; a < MainRamSize; ++a) MainRam[a] = image[a];
  // A port value with LORAM and HIRAM clear maps RAM everywhere, the I/O area included; the
  // exerciser's zero page starts at $0A, so it never touches the port.
  ASSERT_EQ(MainRam[1] & 3, 0);
  Cpu.PC = 0x0400;
  Cpu.Opcode = ServiceMarker;

  constexpr long CycleLimit = 150'000'000;
  long cycles = 0;
  std::uint16_t previousPC = 0;
  bool stuck = false;
  while (cycles < CycleLimit && !stuck) {
    CpuExecute();
    ++cycles;
    if (Cpu.Opcode == ServiceMarker) {
      stuck = Cpu.PC == previousPC;
      previousPC = Cpu.PC;
    }
  }
  ASSERT_TRUE(stuck) << "no loop within " << CycleLimit << " cycles, PC $" << std::hex << Cpu.PC;
  EXPECT_EQ(Cpu.PC, 0x3469) << std::hex << "failed check at $" << Cpu.PC;
  std::printf("exerciser passed in %ld cycles\n", cycles);
}

}  // namespace
}  // namespace quillon
