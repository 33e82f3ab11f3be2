#include "cpu/opcode_table.h"

#include <array>
#include <utility>

#include "cpu/opcode_work.h"

namespace quillon {
namespace {

using namespace cpu_internal;

// An instruction's first call performs all of it and learns its cycle count; the later calls
// only count until the instruction's last cycle.
template <std::uint8_t Opcode>
void Instruction() {
  if (Cpu.Cycle != 1) {
    if (Cpu.Cycle++ == Cpu.LastCycle) Cpu.Opcode = ServiceMarker;
    return;
  }
  const std::uint8_t cycles = OpcodeWork[Opcode](Cpu);
  if (cycles == 2) {
    Cpu.Opcode = ServiceMarker;
    return;
  }
  Cpu.LastCycle = static_cast<std::uint8_t>(cycles - 1);
  Cpu.Cycle = 2;
}

// A branch's first call steps over it; when taken, the second call reads the offset and jumps.
template <std::uint8_t Opcode>
void Branch() {
  if (Cpu.Cycle == 1) {
    if (OpcodeWork[Opcode](Cpu) == TakenBranchCycles) {
      Cpu.Cycle = 2;
    } else {
      Cpu.Opcode = ServiceMarker;
    }
    return;
  }
  TakeBranch(Cpu);
  Cpu.Opcode = ServiceMarker;
}

template <std::size_t Opcode>
constexpr OpcodeHandler HandlerOf() {
  if constexpr (Opcode == ServiceMarker) {
    return &ServiceStep;
  } else if constexpr (IsBranchOpcode(Opcode)) {
    return &Branch<Opcode>;
  } else {
    return &Instruction<Opcode>;
  }
}

template <std::size_t... Opcodes>
constexpr std::array<OpcodeHandler, 256> MakeOpcodeTable(std::index_sequence<Opcodes...>) {
  return {HandlerOf<Opcodes>()...};
}

}  // namespace

constinit const std::array<OpcodeHandler, 256> OpcodeTable =
    MakeOpcodeTable(std::make_index_sequence<256>());

}  // namespace quillon
