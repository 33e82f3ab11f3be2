#include "accurate/processor_port.h"

namespace quillon::accurate {
namespace {

// What lines 0-5 read as inputs: LORAM, HIRAM and CHAREN have pull-up resistors, the sense
// line is pulled up and grounded by a pressed datasette key, and the write and motor lines read
// 0 (a real C64 gives $17 for PEEK(1) after POKE 0,0 with no datasette).
constexpr std::uint8_t PulledUpInputs = PortCharen | PortHiram | PortLoram;
constexpr std::uint8_t CassetteSense = 0x10;
constexpr std::uint8_t BondedLines = 0x3F;

// An undriven bit reads the level it last drove until its charge is gone.
std::uint8_t FloatingBit(const ProcessorPortState& state, std::uint8_t bit,
                         std::uint64_t fadesAt, std::uint64_t cycle) {
  return cycle < fadesAt ? static_cast<std::uint8_t>(state.Floating & bit) : 0;
}

// A bit switched from output to input keeps the level it drove, from now on fading.
void Release(ProcessorPortState& state, std::uint8_t bit, std::uint64_t& fadesAt,
             std::uint8_t newDirection, std::uint64_t cycle) {
  if ((state.Direction & bit) == 0 || (newDirection & bit) != 0) return;
  state.Floating = static_cast<std::uint8_t>((state.Floating & ~bit) | (state.Latch & bit));
  fadesAt = cycle + PortBitFadeCycles;
}

}  // namespace

std::uint8_t ProcessorPort::Lines() const {
  const auto inputs =
      static_cast<std::uint8_t>(PulledUpInputs | (State.CassetteKeyDown ? 0 : CassetteSense));
  return static_cast<std::uint8_t>(
      ((State.Latch & State.Direction) | (inputs & ~State.Direction)) & BondedLines);
}

std::uint8_t ProcessorPort::Read(std::uint16_t address, std::uint64_t cycle) const {
  if ((address & 1) == 0) return State.Direction;
  const auto undriven = static_cast<std::uint8_t>(
      FloatingBit(State, 0x40, State.Bit6FadesAt, cycle) |
      FloatingBit(State, 0x80, State.Bit7FadesAt, cycle));
  return static_cast<std::uint8_t>(Lines() | (State.Latch & State.Direction & ~BondedLines) |
                                   (undriven & ~State.Direction));
}

void ProcessorPort::Write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle) {
  if ((address & 1) != 0) {
    State.Latch = value;
    return;
  }
  Release(State, 0x40, State.Bit6FadesAt, value, cycle);
  Release(State, 0x80, State.Bit7FadesAt, value, cycle);
  State.Direction = value;
}

void ProcessorPort::Reset(std::uint64_t cycle) {
  Write(0, 0, cycle);
  State.Latch = 0;
}

}  // namespace quillon::accurate
