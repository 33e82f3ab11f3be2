#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "accurate/cpu6510.h"
#include "accurate/processor_port.h"
#include "interface/snapshot_stream.h"
#include "support/flat_bus.h"

namespace quillon::accurate {
namespace {

using test::FlatBus;

constexpr std::uint16_t Start = 0x1000;
constexpr std::uint16_t IrqHandler = 0x5000;
constexpr std::uint16_t NmiHandler = 0x6000;
constexpr std::uint8_t ClearP = FlagUnused | FlagB;

// A processor on the flat bus, reset into a program at $1000, with the bus's cycle count and
// log starting after the reset. Every other byte of RAM is a NOP ($EA), except the vectors and
// a zero-page pointer at $80 to $20F0. A = $C3.
struct Rig {
  FlatBus Bus;
  Cpu6510<FlatBus> Cpu{Bus};

  explicit Rig(std::initializer_list<std::uint8_t> program) {
    std::memset(Bus.Ram, 0xEA, sizeof Bus.Ram);
    Poke(0x0080, {0xF0, 0x20});
    Poke(0xFFFA, {NmiHandler & 0xFF, NmiHandler >> 8, Start & 0xFF, Start >> 8,
                  IrqHandler & 0xFF, IrqHandler >> 8});
    Poke(Start, program);
    Cpu.Step();
    Bus.Cycle = 0;
    Bus.Log.clear();
    R().A = 0xC3;
  }
  void Poke(std::uint16_t address, std::initializer_list<std::uint8_t> bytes) {
    for (std::uint8_t byte : bytes) Bus.Ram[address++] = byte;
  }
  std::uint64_t Step() {
    const std::uint64_t before = Bus.Cycle;
    Cpu.Step();
    return Bus.Cycle - before;
  }
  CpuRegisters& R() { return Cpu.Registers(); }
};

// The standard exerciser of every documented instruction, decimal mode included. It ends in a
// jump to itself: at $3469 when every check passed, elsewhere at the check that failed (its
// listing explains the address).
TEST(AccurateCpu, RunsTheFunctionalTestToItsSuccessLoop) {
  auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{});
  std::FILE* file = std::fopen(QUILLON_TESTDATA_DIR "/6502_functional_test.bin", "rb");
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(std::fread(rig->Bus.Ram, 1, sizeof rig->Bus.Ram, file), sizeof rig->Bus.Ram);
  std::fclose(file);
  rig->Bus.Logging = false;
  rig->R().PC = 0x0400;
  for (std::uint16_t previous = 0; rig->Bus.Cycle < 200'000'000; previous = rig->R().PC) {
    rig->Cpu.Step();
    if (rig->R().PC == previous) break;
  }
  EXPECT_EQ(rig->R().PC, 0x3469) << std::hex << "stopped at $" << rig->R().PC;
}

// --- Cycles and bus accesses ------------------------------------------------------------------

// Cycles per opcode, without page crossing; +10 where crossing a page costs one more. JAM is 0;
// branches (not taken) have their own test.
constexpr std::uint8_t Cycles[256] = {
    7, 6,  0, 8, 3, 3, 5, 5, 3, 2,  2, 2, 4,  4,  6, 6,  // 0x
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // 1x
    6, 6,  0, 8, 3, 3, 5, 5, 4, 2,  2, 2, 4,  4,  6, 6,  // 2x
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // 3x
    6, 6,  0, 8, 3, 3, 5, 5, 3, 2,  2, 2, 3,  4,  6, 6,  // 4x
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // 5x
    6, 6,  0, 8, 3, 3, 5, 5, 4, 2,  2, 2, 5,  4,  6, 6,  // 6x
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // 7x
    2, 6,  2, 6, 3, 3, 3, 3, 2, 2,  2, 2, 4,  4,  4, 4,  // 8x
    2, 6,  0, 6, 4, 4, 4, 4, 2, 5,  2, 5, 5,  5,  5, 5,  // 9x
    2, 6,  2, 6, 3, 3, 3, 3, 2, 2,  2, 2, 4,  4,  4, 4,  // Ax
    2, 15, 0, 15, 4, 4, 4, 4, 2, 14, 2, 14, 14, 14, 14, 14,  // Bx
    2, 6,  2, 8, 3, 3, 5, 5, 2, 2,  2, 2, 4,  4,  6, 6,  // Cx
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // Dx
    2, 6,  2, 8, 3, 3, 5, 5, 2, 2,  2, 2, 4,  4,  6, 6,  // Ex
    2, 15, 0, 8, 4, 4, 6, 6, 2, 14, 2, 7, 14, 14, 7, 7,  // Fx
};

bool IsBranch(unsigned opcode) { return (opcode & 0x1F) == 0x10; }

// Operand bytes $F0 $20: abs is $20F0 and the zero-page pointer $F0 is read from $F0/$F1
// ($EAEA), so X = Y = $20 carries every indexed address into the next page and X = Y = 0 none.
TEST(AccurateCpu, EveryOpcodeTakesItsCyclesWithAndWithoutPageCrossing) {
  for (unsigned opcode = 0; opcode < 256; ++opcode) {
    if (IsBranch(opcode)) continue;
    for (std::uint8_t index : {0x00, 0x20}) {
      auto rig = std::make_unique<Rig>(
          std::initializer_list<std::uint8_t>{static_cast<std::uint8_t>(opcode), 0xF0, 0x20});
      rig->R().X = rig->R().Y = index;
      const std::uint64_t cycles = rig->Step();
      const unsigned base = Cycles[opcode] % 10;
      const unsigned expected = base + (index != 0 && Cycles[opcode] >= 10 ? 1 : 0);
      if (base == 0) {
        EXPECT_TRUE(rig->Cpu.Jammed()) << std::hex << opcode;
      } else {
        EXPECT_EQ(cycles, expected) << std::hex << "opcode $" << opcode << " index " << +index;
      }
    }
  }
}

struct SequenceCase {
  const char* Name;
  std::initializer_list<std::uint8_t> Program;
  std::uint8_t X;
  std::uint8_t Y;
  int Steps;
  const char* Trace;  // reads as addresses, writes as W address = value
};

// A = $C3, S = $FD, P = $34; the pointer at $80 is $20F0 and every other byte $EA.
const SequenceCase SequenceCases[] = {
    {"implied", {0xEA}, 0, 0, 1, "1000 1001"},
    {"zp write", {0x85, 0x80}, 0, 0, 1, "1000 1001 W0080=C3"},
    {"zp read-modify-write", {0x06, 0x80}, 0, 0, 1, "1000 1001 0080 W0080=F0 W0080=E0"},
    {"zp,X wraps in page zero", {0xB5, 0xFF}, 2, 0, 1, "1000 1001 00FF 0001"},
    {"zp,X read-modify-write", {0xF6, 0x7E}, 2, 0, 1, "1000 1001 007E 0080 W0080=F0 W0080=F1"},
    {"zp,Y indexed store", {0x96, 0x7E}, 0, 2, 1, "1000 1001 007E W0080=00"},
    {"abs read-modify-write", {0xCE, 0x34, 0x12}, 0, 0, 1, "1000 1001 1002 1234 W1234=EA W1234=E9"},
    {"abs,X read in the page", {0xBD, 0xF0, 0x20}, 5, 0, 1, "1000 1001 1002 20F5"},
    {"abs,X read across a page", {0xBD, 0xF0, 0x20}, 0x20, 0, 1, "1000 1001 1002 2010 2110"},
    {"abs,X store in the page", {0x9D, 0xF0, 0x20}, 5, 0, 1, "1000 1001 1002 20F5 W20F5=C3"},
    {"abs,Y read-modify-write across a page", {0x1B, 0xF0, 0x20}, 0, 0x20, 1,
     "1000 1001 1002 2010 2110 W2110=EA W2110=D4"},
    {"abs,X NOP across a page", {0x1C, 0xF0, 0x20}, 0x20, 0, 1, "1000 1001 1002 2010 2110"},
    {"abs,X at the top of memory wraps", {0xBD, 0xFF, 0xFF}, 2, 0, 1, "1000 1001 1002 FF01 0001"},
    {"(zp,X)", {0xA1, 0x7E}, 2, 0, 1, "1000 1001 007E 0080 0081 20F0"},
    {"(zp,X) pointer wraps", {0xA1, 0xFD}, 2, 0, 1, "1000 1001 00FD 00FF 0000 EAEA"},
    {"(zp),Y read in the page", {0xB1, 0x80}, 0, 5, 1, "1000 1001 0080 0081 20F5"},
    {"(zp),Y read across a page", {0xB1, 0x80}, 0, 0x20, 1, "1000 1001 0080 0081 2010 2110"},
    {"(zp),Y store", {0x91, 0x80}, 0, 5, 1, "1000 1001 0080 0081 20F5 W20F5=C3"},
    {"(zp),Y read-modify-write", {0xD3, 0x80}, 0, 5, 1,
     "1000 1001 0080 0081 20F5 20F5 W20F5=EA W20F5=E9"},
    {"(zp),Y pointer at $FF", {0xB1, 0xFF}, 0, 0, 1, "1000 1001 00FF 0000 EAEA"},
    {"JMP (ind) stays in the pointer's page", {0x6C, 0xFF, 0x30}, 0, 0, 1,
     "1000 1001 1002 30FF 3000"},
    {"JSR then RTS", {0x20, 0x03, 0x10, 0x60}, 0, 0, 2,
     "1000 1001 01FD W01FD=10 W01FC=02 1002 1003 1004 01FB 01FC 01FD 1002"},
    {"PHA then PLA", {0x48, 0x68}, 0, 0, 2, "1000 1001 W01FD=C3 1001 1002 01FC 01FD"},
    {"PHP sets bits 5 and 4", {0x08}, 0, 0, 1, "1000 1001 W01FD=34"},
    {"BRK", {0x00}, 0, 0, 1, "1000 1001 W01FD=10 W01FC=02 W01FB=34 FFFE FFFF"},
    {"RTI", {0x40}, 0, 0, 1, "1000 1001 01FD 01FE 01FF 0100"},
    {"branch not taken", {0xF0, 0x10}, 0, 0, 1, "1000 1001"},
    {"branch taken in the page", {0xD0, 0x10}, 0, 0, 1, "1000 1001 1002"},
    {"branch taken across a page", {0xD0, 0x80}, 0, 0, 1, "1000 1001 1002 1082"},
    // The stores that AND with the base's high byte + 1 ($21), which replaces the address's
    // high byte when the index crosses a page.
    {"SHA abs,Y", {0x9F, 0xF0, 0x20}, 0xFF, 0x05, 1, "1000 1001 1002 20F5 W20F5=01"},
    {"SHA abs,Y across a page", {0x9F, 0xF0, 0x20}, 0xFF, 0x20, 1, "1000 1001 1002 2010 W0110=01"},
    {"SHA (zp),Y across a page", {0x93, 0x80}, 0xFF, 0x20, 1, "1000 1001 0080 0081 2010 W0110=01"},
    {"SHX across a page", {0x9E, 0xF0, 0x20}, 0xFE, 0x20, 1, "1000 1001 1002 2010 W2010=20"},
    {"SHY across a page", {0x9C, 0xF0, 0x20}, 0x20, 0xFE, 1, "1000 1001 1002 2010 W2010=20"},
    {"TAS across a page", {0x9B, 0xF0, 0x20}, 0xFF, 0x20, 1, "1000 1001 1002 2010 W0110=01"},
};

class AccurateCpuSequence : public testing::TestWithParam<SequenceCase> {};

TEST_P(AccurateCpuSequence, MakesTheChipsBusAccesses) {
  const SequenceCase& c = GetParam();
  auto rig = std::make_unique<Rig>(c.Program);
  rig->R().X = c.X;
  rig->R().Y = c.Y;
  for (int i = 0; i < c.Steps; ++i) rig->Step();
  EXPECT_EQ(rig->Bus.Trace(), c.Trace) << c.Name;
}

INSTANTIATE_TEST_SUITE_P(AccurateModes, AccurateCpuSequence, testing::ValuesIn(SequenceCases));

TEST(AccurateCpu, ResetReadsTheStackDropsSByThreeAndSetsI) {
  FlatBus bus{};
  bus.Ram[0xFFFC] = 0x34;
  bus.Ram[0xFFFD] = 0x12;
  Cpu6510<FlatBus> cpu(bus);
  cpu.Registers().P = ClearP | FlagD;
  cpu.Step();
  EXPECT_EQ(bus.Trace(), "0000 0000 0100 01FF 01FE FFFC FFFD");
  EXPECT_EQ(cpu.Registers().S, 0xFD);
  EXPECT_EQ(cpu.Registers().P, ClearP | FlagD | FlagI);
  EXPECT_EQ(cpu.Registers().PC, 0x1234);
}

// --- Undocumented opcodes ---------------------------------------------------------------------

struct ResultCase {
  std::initializer_list<std::uint8_t> Program;  // memory operands are at $80
  std::uint8_t A, X, S, P, M;                    // before
  std::uint8_t ResultA, ResultX, ResultS, ResultP, ResultM;
};

constexpr std::uint8_t D = FlagD, N = FlagN, V = FlagV, Z = FlagZ, C = FlagC, P0 = ClearP;

const ResultCase ResultCases[] = {
    // ANE and LXA with the magic constant $EE.
    {{0x8B, 0xFF}, 0x00, 0xFF, 0xFD, P0, 0, 0xEE, 0xFF, 0xFD, P0 | N, 0},
    {{0x8B, 0xFF}, 0x00, 0x0F, 0xFD, P0, 0, 0x0E, 0x0F, 0xFD, P0, 0},
    {{0x8B, 0x10}, 0x00, 0xFF, 0xFD, P0, 0, 0x00, 0xFF, 0xFD, P0 | Z, 0},
    {{0xAB, 0xFF}, 0x00, 0x12, 0xFD, P0, 0, 0xEE, 0xEE, 0xFD, P0 | N, 0},
    {{0xAB, 0x0F}, 0x11, 0x12, 0xFD, P0, 0, 0x0F, 0x0F, 0xFD, P0, 0},
    // ANC, ALR, SBX (V stays), LAS, SBC $EB.
    {{0x0B, 0x80}, 0xF0, 0, 0xFD, P0, 0, 0x80, 0, 0xFD, P0 | N | C, 0},
    {{0x2B, 0x7F}, 0xF0, 0, 0xFD, P0 | C, 0, 0x70, 0, 0xFD, P0, 0},
    {{0x4B, 0xFF}, 0x03, 0, 0xFD, P0, 0, 0x01, 0, 0xFD, P0 | C, 0},
    {{0xCB, 0x10}, 0xF0, 0x3C, 0xFD, P0 | V, 0, 0xF0, 0x20, 0xFD, P0 | V | C, 0},
    {{0xCB, 0x06}, 0xFF, 0x05, 0xFD, P0 | C | D, 0, 0xFF, 0xFF, 0xFD, P0 | D | N, 0},
    {{0xBB, 0x80, 0x00}, 0, 0, 0x1F, P0, 0xF3, 0x13, 0x13, 0x13, P0, 0xF3},
    {{0xEB, 0x01}, 0x10, 0, 0xFD, P0 | C, 0, 0x0F, 0, 0xFD, P0 | C, 0},
    // ARR, binary: C from bit 6, V from bit 6 XOR bit 5.
    {{0x6B, 0xFF}, 0xFF, 0, 0xFD, P0 | C, 0, 0xFF, 0, 0xFD, P0 | N | C, 0},
    {{0x6B, 0xFF}, 0xC0, 0, 0xFD, P0, 0, 0x60, 0, 0xFD, P0 | C, 0},
    {{0x6B, 0xFF}, 0x80, 0, 0xFD, P0, 0, 0x40, 0, 0xFD, P0 | V | C, 0},
    {{0x6B, 0x01}, 0x01, 0, 0xFD, P0, 0, 0x00, 0, 0xFD, P0 | Z, 0},
    // ARR, decimal: both digits corrected; none; the low one only (V from the rotate); Z from
    // the value before the correction that makes it 0.
    {{0x6B, 0xFF}, 0xFF, 0, 0xFD, P0 | D | C, 0, 0x55, 0, 0xFD, P0 | D | N | C, 0},
    {{0x6B, 0xFF}, 0x22, 0, 0xFD, P0 | D, 0, 0x11, 0, 0xFD, P0 | D, 0},
    {{0x6B, 0xFF}, 0x47, 0, 0xFD, P0 | D, 0, 0x29, 0, 0xFD, P0 | D | V, 0},
    {{0x6B, 0xFF}, 0x15, 0, 0xFD, P0 | D, 0, 0x00, 0, 0xFD, P0 | D, 0},
    // Read-modify-write combinations, written back and applied to A.
    {{0x07, 0x80}, 0x01, 0, 0xFD, P0, 0x81, 0x03, 0, 0xFD, P0 | C, 0x02},
    {{0x27, 0x80}, 0xFF, 0, 0xFD, P0 | C, 0x81, 0x03, 0, 0xFD, P0 | C, 0x03},
    {{0x47, 0x80}, 0xFF, 0, 0xFD, P0, 0x81, 0xBF, 0, 0xFD, P0 | N | C, 0x40},
    {{0x67, 0x80}, 0x10, 0, 0xFD, P0 | C, 0x02, 0x91, 0, 0xFD, P0 | N, 0x81},
    {{0x67, 0x80}, 0x09, 0, 0xFD, P0 | D, 0x03, 0x11, 0, 0xFD, P0 | D, 0x01},
    {{0xC7, 0x80}, 0xFF, 0, 0xFD, P0, 0x00, 0xFF, 0, 0xFD, P0 | Z | C, 0xFF},
    {{0xE7, 0x80}, 0x20, 0, 0xFD, P0 | C, 0x0F, 0x10, 0, 0xFD, P0 | C, 0x10},
    {{0xE7, 0x80}, 0x20, 0, 0xFD, P0 | D | C, 0x08, 0x11, 0, 0xFD, P0 | D | C, 0x09},
    {{0xA7, 0x80}, 0x00, 0, 0xFD, P0, 0x80, 0x80, 0x80, 0xFD, P0 | N, 0x80},
    {{0x9B, 0x80, 0x00}, 0xF7, 0x7F, 0xFD, P0, 0xFF, 0xF7, 0x7F, 0x77, P0, 0x01},  // TAS
    {{0x87, 0x80}, 0xF0, 0x3C, 0xFD, P0 | Z, 0x00, 0xF0, 0x3C, 0xFD, P0 | Z, 0x30},
};

class AccurateCpuResult : public testing::TestWithParam<ResultCase> {};

TEST_P(AccurateCpuResult, GivesTheChipsResultAndFlags) {
  const ResultCase& c = GetParam();
  auto rig = std::make_unique<Rig>(c.Program);
  CpuRegisters& r = rig->R();
  r.A = c.A;
  r.X = c.X;
  r.S = c.S;
  r.P = c.P;
  rig->Bus.Ram[0x80] = c.M;
  rig->Step();
  EXPECT_EQ(r.A, c.ResultA);
  EXPECT_EQ(r.X, c.ResultX);
  EXPECT_EQ(r.S, c.ResultS);
  EXPECT_EQ(r.P, c.ResultP);
  EXPECT_EQ(rig->Bus.Ram[0x80], c.ResultM);
}

INSTANTIATE_TEST_SUITE_P(AccurateUndocumented, AccurateCpuResult, testing::ValuesIn(ResultCases));

// RDY holding the dummy read before the write drops the AND from the value, not from the
// address.
TEST(AccurateCpu, AStalledDummyReadStoresShxAndShaUnanded) {
  struct StallCase {
    std::initializer_list<std::uint8_t> Program;
    std::uint8_t X, Y;
    std::uint64_t StallAt;
    std::uint16_t Address;
    std::uint8_t Value;
  };
  const StallCase cases[] = {{{0x9E, 0xF0, 0x20}, 0xFE, 0x05, 4, 0x20F5, 0xFE},
                             {{0x9E, 0xF0, 0x20}, 0xFE, 0x20, 4, 0x2010, 0xFE},
                             {{0x93, 0x80}, 0xFF, 0x20, 5, 0x0110, 0xC3}};
  for (const auto& [program, x, y, stallAt, address, value] : cases) {
    auto rig = std::make_unique<Rig>(program);
    rig->R().X = x;
    rig->R().Y = y;
    rig->Bus.StallReadAt = stallAt;
    rig->Step();
    EXPECT_EQ(rig->Bus.Log.back().Address, address);
    EXPECT_EQ(rig->Bus.Log.back().Value, value);
  }
}

// --- Decimal mode -----------------------------------------------------------------------------

struct Sum {
  std::uint8_t A, Flags;  // N V Z C
  bool operator==(const Sum&) const = default;
};

std::uint8_t Nvzc(bool n, bool v, bool z, bool c) {
  return static_cast<std::uint8_t>((n ? N : 0) | (v ? V : 0) | (z ? Z : 0) | (c ? C : 0));
}

// Bruce Clark's description of the NMOS adder: sequence 1 gives A and C, sequence 2 computes
// the same sum with signed high digits for N and V; Z is the binary sum's.
Sum ReferenceDecimalAdd(int a, int m, int carry) {
  int low = (a & 0x0F) + (m & 0x0F) + carry;
  if (low >= 0x0A) low = ((low + 0x06) & 0x0F) + 0x10;
  int sum = (a & 0xF0) + (m & 0xF0) + low;
  const int sign = static_cast<std::int8_t>(a & 0xF0) + static_cast<std::int8_t>(m & 0xF0) + low;
  if (sum >= 0xA0) sum += 0x60;
  return {static_cast<std::uint8_t>(sum), Nvzc((sign & 0x80) != 0, sign < -128 || sign > 127,
                                               ((a + m + carry) & 0xFF) == 0, sum >= 0x100)};
}

// Sequence 3 for A; the flags are the binary subtraction's.
Sum ReferenceDecimalSubtract(int a, int m, int carry) {
  int low = (a & 0x0F) - (m & 0x0F) + carry - 1;
  if (low < 0) low = ((low - 0x06) & 0x0F) - 0x10;
  int result = (a & 0xF0) - (m & 0xF0) + low;
  if (result < 0) result -= 0x60;
  const int binary = a - m - (1 - carry);
  return {static_cast<std::uint8_t>(result),
          Nvzc((binary & 0x80) != 0, ((a ^ m) & (a ^ binary) & 0x80) != 0, (binary & 0xFF) == 0,
               binary >= 0)};
}

TEST(AccurateCpu, DecimalAdcAndSbcMatchTheNmosAdderForEveryInput) {
  auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{});
  rig->Bus.Logging = false;
  for (std::uint8_t opcode : {0x69, 0xE9}) {
    const bool add = opcode == 0x69;
    for (int a = 0; a < 256; ++a) {
      for (int m = 0; m < 256; ++m) {
        for (int carry = 0; carry < 2; ++carry) {
          rig->Poke(Start, {opcode, static_cast<std::uint8_t>(m)});
          CpuRegisters& r = rig->R();
          r = {.A = static_cast<std::uint8_t>(a), .P = static_cast<std::uint8_t>(P0 | D | carry),
               .PC = Start};
          rig->Cpu.Step();
          const Sum got = {r.A, static_cast<std::uint8_t>(r.P & (N | V | Z | C))};
          const Sum want = add ? ReferenceDecimalAdd(a, m, carry)
                               : ReferenceDecimalSubtract(a, m, carry);
          ASSERT_EQ(got, want) << std::hex << +opcode << " A=" << a << " M=" << m << " C=" << carry;
          // Valid BCD gives the decimal sum or difference.
          const int x = a / 16 * 10 + a % 16, y = m / 16 * 10 + m % 16;
          if (a % 16 < 10 && a < 0xA0 && m % 16 < 10 && m < 0xA0) {
            const int value = (add ? x + y + carry : x - y - (1 - carry) + 100) % 100;
            ASSERT_EQ(got.A, value / 10 * 16 + value % 10);
          }
        }
      }
    }
  }
}

// --- Interrupts -------------------------------------------------------------------------------

struct PollCase {
  const char* Name;
  std::initializer_list<std::uint8_t> Program;
  std::uint8_t Index;    // X and Y
  int Cycles;
  int LastSampled;  // the last cycle whose IRQ still counts for this instruction
};

const PollCase PollCases[] = {
    {"NOP", {0xEA}, 0, 2, 1},
    {"LDA zp", {0xA5, 0x80}, 0, 3, 2},
    {"LDA abs,X across a page", {0xBD, 0xF0, 0x20}, 0x20, 5, 4},
    {"STA abs,X", {0x9D, 0xF0, 0x20}, 0, 5, 4},
    {"INC abs", {0xEE, 0x00, 0x20}, 0, 6, 5},
    {"SLO (zp),Y", {0x13, 0x80}, 0, 8, 7},
    {"JSR", {0x20, 0x00, 0x20}, 0, 6, 5},
    {"PLA", {0x68}, 0, 4, 3},
    {"JMP (ind)", {0x6C, 0x00, 0x20}, 0, 5, 4},
    {"branch not taken", {0xF0, 0x10}, 0, 2, 1},
    {"branch taken in the page", {0xD0, 0x10}, 0, 3, 1},
    {"branch taken across a page", {0xD0, 0x80}, 0, 4, 3},
};

class AccurateCpuPoll : public testing::TestWithParam<PollCase> {};

// An IRQ raised in cycle k of the instruction (held from then on) is taken right after it when
// k is at most LastSampled, otherwise one instruction later.
TEST_P(AccurateCpuPoll, TakesAnIrqAfterTheInstructionOrTheNext) {
  const PollCase& c = GetParam();
  for (int k = 1; k <= c.Cycles; ++k) {
    auto rig = std::make_unique<Rig>(c.Program);
    rig->R().P = P0;
    rig->R().X = rig->R().Y = c.Index;
    rig->Bus.Irq.From = static_cast<std::uint64_t>(k);
    EXPECT_EQ(rig->Step(), static_cast<std::uint64_t>(c.Cycles));
    const bool now = k <= c.LastSampled;
    EXPECT_EQ(rig->Cpu.InterruptDue(), now) << c.Name << ", raised in cycle " << k;
    if (!now) {
      rig->Step();
      EXPECT_TRUE(rig->Cpu.InterruptDue()) << "raised in cycle " << k;
    }
    const std::uint16_t next = rig->R().PC;
    const std::uint8_t pushed = rig->R().P & ~FlagB;
    rig->Bus.Log.clear();
    EXPECT_EQ(rig->Step(), 7u);
    EXPECT_EQ(rig->R().PC, IrqHandler);
    char trace[64];
    std::snprintf(trace, sizeof trace, "%04X %04X W01%02X=%02X W01%02X=%02X W01%02X=%02X FFFE FFFF",
                  next, next, rig->R().S + 3, next >> 8, rig->R().S + 2, next & 0xFF,
                  rig->R().S + 1, pushed);
    EXPECT_EQ(rig->Bus.Trace(), trace) << c.Name << ", raised in cycle " << k;
  }
}

INSTANTIATE_TEST_SUITE_P(AccurateInstructions, AccurateCpuPoll, testing::ValuesIn(PollCases));

// With the IRQ line held low throughout: whether the IRQ is due after the first instruction and
// after the second.
struct MaskCase {
  const char* Name;
  std::initializer_list<std::uint8_t> Program;
  std::uint8_t P;
  std::uint8_t Stacked;  // the byte PLP or RTI pulls as P
  bool DueAfterFirst;
  bool DueAfterSecond;
};

const MaskCase MaskCases[] = {
    {"CLI waits one instruction", {0x58, 0xEA}, P0 | FlagI, 0, false, true},
    {"SEI still lets it in", {0x78, 0xEA}, P0, 0, true, true},
    {"PLP clearing I waits one instruction", {0x28, 0xEA}, P0 | FlagI, 0x00, false, true},
    {"PLP setting I still lets it in", {0x28, 0xEA}, P0, FlagI, true, true},
    {"RTI clearing I does not wait", {0x40}, P0 | FlagI, 0x00, true, true},
    {"RTI setting I masks at once", {0x40}, P0, FlagI, false, false},
};

TEST(AccurateCpu, CliSeiAndPlpChangeTheMaskAfterTheirPollAndRtiBefore) {
  for (const MaskCase& c : MaskCases) {
    auto rig = std::make_unique<Rig>(c.Program);
    rig->R().P = c.P;
    rig->Poke(0x01FE, {c.Stacked, 0x00, 0x30});  // RTI returns to $3000
    rig->Bus.Irq.From = 0;
    rig->Step();
    EXPECT_EQ(rig->Cpu.InterruptDue(), c.DueAfterFirst) << c.Name;
    if (!c.DueAfterFirst) {
      rig->Step();
      EXPECT_EQ(rig->Cpu.InterruptDue(), c.DueAfterSecond) << c.Name;
      continue;
    }
    // The sequence pushes P as the instruction left it (after SEI with I set), B clear.
    const std::uint8_t p = rig->R().P;
    rig->Step();
    EXPECT_EQ(rig->Bus.Ram[0x0100 + rig->R().S + 1], p & ~FlagB) << c.Name;
  }
}

TEST(AccurateCpu, AHeldNmiLineGivesOneNmiAndAFreshEdgeAnother) {
  auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{});
  rig->Poke(NmiHandler, {0x40});  // RTI
  rig->Bus.Nmi.From = 1;
  int entries = 0;
  auto run = [&] {
    for (int i = 0; i < 40; ++i) {
      rig->Step();
      entries += rig->R().PC == NmiHandler;
    }
  };
  run();
  EXPECT_EQ(entries, 1);
  // The line is up for four cycles, then down again.
  rig->Bus.Nmi.From = rig->Bus.Cycle + 5;
  run();
  EXPECT_EQ(entries, 2);
}

// An NMI that arrives in the first four cycles of BRK or of an IRQ sequence takes the sequence
// over; later it waits for the handler's first instruction. The pushed B is the sequence's own.
TEST(AccurateCpu, AnNmiInTheFirstFourCyclesHijacksBrkAndIrq) {
  for (bool brk : {true, false}) {
    for (std::uint64_t k = 1; k <= 7; ++k) {
      auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{brk ? std::uint8_t{0x00} : std::uint8_t{0xEA}});
      if (!brk) {
        rig->R().P = P0;
        rig->Bus.Irq.From = 0;
        rig->Step();
      }
      rig->Bus.Nmi.From = rig->Bus.Cycle + k;
      rig->Step();
      const bool hijacked = k <= 4;
      EXPECT_EQ(rig->R().PC, hijacked ? NmiHandler : IrqHandler) << brk << " " << k;
      EXPECT_EQ(rig->Bus.Ram[0x0100 + rig->R().S + 1] & FlagB, brk ? FlagB : 0);
      EXPECT_FALSE(rig->Cpu.InterruptDue());
      rig->Step();
      EXPECT_EQ(rig->Cpu.InterruptDue(), !hijacked) << brk << " " << k;
    }
  }
}

TEST(AccurateCpu, JamHaltsUntilAReset) {
  auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{0xEA, 0x02});
  rig->R().P = P0;
  rig->Step();
  rig->Step();
  EXPECT_TRUE(rig->Cpu.Jammed());
  rig->Bus.Irq.From = 0;
  rig->Bus.Nmi.From = rig->Bus.Cycle + 1;
  rig->Bus.Log.clear();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rig->Step(), 1u);
  EXPECT_EQ(rig->Bus.Trace(), "FFFF FFFF FFFF");
  EXPECT_TRUE(rig->Cpu.Jammed());
  EXPECT_FALSE(rig->Cpu.InterruptDue());
  rig->Cpu.Reset();
  EXPECT_EQ(rig->Step(), 7u);
  EXPECT_FALSE(rig->Cpu.Jammed());
  EXPECT_EQ(rig->R().PC, Start);
}

// --- Snapshots --------------------------------------------------------------------------------

// A loop that keeps every register and the stack busy, with an IRQ and an NMI on the way.
TEST(AccurateCpu, ASnapshotRunsOnExactlyAsTheOriginal) {
  const std::initializer_list<std::uint8_t> loop = {0xE8, 0x48, 0x69, 0x07, 0x68, 0x26, 0x80,
                                                    0x58, 0x4C, 0x00, 0x10};
  auto original = std::make_unique<Rig>(loop);
  original->Poke(IrqHandler, {0x78, 0x40});  // SEI, RTI with I clear on the stack
  original->Poke(NmiHandler, {0x40});
  original->Bus.Irq = {100, 110};
  original->Bus.Nmi = {200, 205};
  while (original->Bus.Cycle < 150) original->Step();
  SnapshotWriter out;
  original->Cpu.Save(out);

  auto copy = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{});
  std::memcpy(copy->Bus.Ram, original->Bus.Ram, sizeof copy->Bus.Ram);
  copy->Bus.Cycle = original->Bus.Cycle;
  copy->Bus.Irq = original->Bus.Irq;
  copy->Bus.Nmi = original->Bus.Nmi;
  SnapshotReader in{out.Bytes.data(), out.Bytes.size()};
  ASSERT_TRUE(copy->Cpu.Load(in));
  EXPECT_EQ(in.Position, out.Bytes.size());
  const std::size_t from = original->Bus.Log.size();
  copy->Bus.Log.clear();
  while (original->Bus.Cycle < 400) original->Step();
  while (copy->Bus.Cycle < 400) copy->Step();
  EXPECT_EQ(copy->Bus.Trace(), original->Bus.Trace(from));
}

// Every truncation, and a flag byte that is neither 0 nor 1, is refused and changes nothing.
TEST(AccurateCpu, DamagedSnapshotsAreRefusedAndChangeNothing) {
  auto rig = std::make_unique<Rig>(std::initializer_list<std::uint8_t>{});
  SnapshotWriter good;
  rig->Cpu.Save(good);
  rig->R().A = 0x99;
  SnapshotWriter before;
  rig->Cpu.Save(before);
  std::vector<std::uint8_t> badFlag = good.Bytes;
  badFlag.back() = 2;
  for (std::size_t size = 0; size <= good.Bytes.size(); ++size) {
    const std::uint8_t* data = size < good.Bytes.size() ? good.Bytes.data() : badFlag.data();
    SnapshotReader in{data, size};
    EXPECT_FALSE(rig->Cpu.Load(in)) << size;
    SnapshotWriter after;
    rig->Cpu.Save(after);
    EXPECT_EQ(after.Bytes, before.Bytes);
  }
}

// --- The processor port -----------------------------------------------------------------------

struct PortCase {
  std::uint8_t Direction, Latch;
  bool CassetteKey;
  std::uint8_t Read, MemoryLines;
  bool MotorOn;
};

const PortCase PortCases[] = {
    {0x00, 0x00, false, 0x17, 7, true},  // all inputs: pull-ups on 0-2 and the sense line
    {0x00, 0xFF, true, 0x07, 7, true},
    {0x2F, 0x37, false, 0x37, 7, false},  // the KERNAL's setting
    {0x2F, 0xE7, true, 0x27, 7, false},
    {0x2F, 0x15, false, 0x15, 5, true},
    {0x07, 0x00, false, 0x10, 0, true},
    {0x01, 0x00, false, 0x16, 6, true},
    {0xFF, 0xC8, false, 0xC8, 0, true},  // outputs read the latch, bits 6 and 7 included
};

class AccurateProcessorPort : public testing::TestWithParam<PortCase> {};

TEST_P(AccurateProcessorPort, ReadsBackTheLinesAndSelectsTheMap) {
  const PortCase& c = GetParam();
  ProcessorPort port;
  port.Write(0, c.Direction, 10);
  port.Write(1, c.Latch, 10);
  port.SetCassetteKeyDown(c.CassetteKey);
  EXPECT_EQ(port.Read(0, 11), c.Direction);
  EXPECT_EQ(port.Read(1, 11), c.Read);
  EXPECT_EQ(port.MemoryLines(), c.MemoryLines);
  EXPECT_EQ(port.CassetteMotorOn(), c.MotorOn);
  EXPECT_EQ(port.CassetteWriteHigh(), (c.Direction & c.Latch & 0x08) != 0);
}

INSTANTIATE_TEST_SUITE_P(AccurateLines, AccurateProcessorPort, testing::ValuesIn(PortCases));

TEST(AccurateProcessorPort, UndrivenLinesKeepTheirLevelThenFade) {
  // Every line driven high, then all inputs: the motor line is held low, the cassette write
  // line and bits 6 and 7 float high until their charge is gone.
  ProcessorPort all;
  all.Write(0, 0xFF, 0);
  all.Write(1, 0xFF, 0);
  all.Write(0, 0x00, 1);
  EXPECT_EQ(all.Read(1, 2), 0xDF);
  EXPECT_EQ(all.Read(1, 1 + PortBitFadeCycles), 0x17);

  ProcessorPort port;
  port.Write(0, 0xFF, 0);
  port.Write(1, 0xC0, 0);
  port.Write(0, 0x7F, 1000);  // bit 7 floats from cycle 1000
  port.Write(1, 0x00, 2000);  // bit 6 drives 0 now; a latch write does not recharge bit 7
  EXPECT_EQ(port.Read(1, 2000) & 0xC0, 0x80);
  port.Write(0, 0x3F, 5000);  // bit 6 floats at 0
  EXPECT_EQ(port.Read(1, 1000 + PortBitFadeCycles - 1) & 0xC0, 0x80);
  EXPECT_EQ(port.Read(1, 1000 + PortBitFadeCycles) & 0xC0, 0x00);
  // Driven again and released, it holds once more; reset releases every line.
  port.Write(0, 0xFF, 400'000);
  port.Write(1, 0xC0, 400'000);
  port.Reset(400'001);
  EXPECT_EQ(port.Read(1, 400'002), 0xC0 | 0x17);
  EXPECT_EQ(port.Read(1, 400'001 + PortBitFadeCycles), 0x17);
}

TEST(AccurateProcessorPort, SnapshotsKeepTheFloatingBitsAndRefuseDamage) {
  ProcessorPort port;
  port.Write(0, 0xEF, 5);
  port.Write(1, 0xA5, 6);
  port.Write(0, 0x2F, 7);  // bit 7 floats at 1
  port.SetCassetteKeyDown(true);
  SnapshotWriter out;
  port.Save(out);
  ProcessorPort copy;
  SnapshotReader truncated{out.Bytes.data(), out.Bytes.size() - 1};
  EXPECT_FALSE(copy.Load(truncated));
  EXPECT_EQ(copy.Read(1, 8), 0x17);
  SnapshotReader in{out.Bytes.data(), out.Bytes.size()};
  ASSERT_TRUE(copy.Load(in));
  EXPECT_EQ(copy.Read(1, 8), 0xA5);
  EXPECT_EQ(copy.Read(1, 7 + PortBitFadeCycles), 0x25);
}

}  // namespace
}  // namespace quillon::accurate
