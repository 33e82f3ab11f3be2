#include <gtest/gtest.h>

#include <cstdint>

#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "support/cpu_program.h"

namespace quillon {
namespace {

using test::RunInstruction;
using test::StartProgram;

// $DFFF answers $AA, $55, $AA, ... and drops writes, so the toggle left behind and the values an
// instruction worked with show how often it read its target.
struct AccessCase {
  const char* Name;
  std::uint8_t Code[3];
  std::uint8_t ExpectedToggle, ExpectedA, ExpectedP;
};

constexpr AccessCase AccessCases[] = {
    // The shifts and rotates read twice: ASL takes C from the first read and shifts the
    // second, ROL and ROR shift the first and take C from the second.
    {"ASL", {0x0E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30 | FlagN | FlagC},
    {"ROL", {0x2E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30},
    {"ROR", {0x6E, 0xFF, 0xDF}, 0xAA, 0x00, 0x30 | FlagC},
    {"LSR", {0x4E, 0xFF, 0xDF}, 0x55, 0x00, 0x30},
    {"INC", {0xEE, 0xFF, 0xDF}, 0x55, 0x00, 0x30 | FlagN},
    {"LDA", {0xAD, 0xFF, 0xDF}, 0x55, 0xAA, 0x30 | FlagN},
    {"STA", {0x8D, 0xFF, 0xDF}, 0xAA, 0x00, 0x30},
    // Read, read, write, read back.
    {"SLO", {0x1F, 0xFF, 0xDF}, 0x55, 0xAA, 0x30 | FlagN | FlagC},
    // Read, write, read back: $AA + 1 is dropped and $55 comes back.
    {"ISC", {0xFF, 0xFF, 0xDF}, 0xAA, 0xAB, 0x30 | FlagN},
    {"DCP (zp,X)", {0xC3, 0x10, 0x00}, 0xAA, 0x00, 0x30 | FlagN},
};

TEST(CpuBusAccess, EachInstructionReadsItsTargetAsOftenAsTheProcessorDoes) {
  for (const AccessCase& c : AccessCases) {
    SCOPED_TRACE(c.Name);
    StartProgram(0x1000, {c.Code[0], c.Code[1], c.Code[2]});
    MainRam[0x10] = 0xFF;  // a pointer to $DFFF
    MainRam[0x11] = 0xDF;
    if (c.Code[0] == 0xFF) {
      Cpu.A = 0x00;  // $00 - $55 with the borrow taken
      Cpu.P |= FlagC;
    }
    RunInstruction();
    EXPECT_EQ(IdToggle, c.ExpectedToggle);
    EXPECT_EQ(Cpu.A, c.ExpectedA);
    EXPECT_EQ(Cpu.P, c.ExpectedP);
  }
}

}  // namespace
}  // namespace quillon
