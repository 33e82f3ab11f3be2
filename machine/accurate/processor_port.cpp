#include "accurate/processor_port.h"

namespace quillon::accurate {
namespace {

constexpr std::uint8_t CassetteSense = 0x10;
// The lines with something on the board that sets their level as inputs; the others float.
constexpr std::uint8_t HeldLines = PortCharen | PortHiram | PortLoram | CassetteSense | 0x20;
constexpr std::uint8_t FloatingLines[3] = {0x08, 0x40, 0x80};

}  // namespace

std::uint8_t ProcessorPort::Lines() const {
  const auto pulledUp = static_cast<std::uint8_t>(PortCharen | PortHiram | PortLoram |
                                                  (State.CassetteKeyDown ? 0 : CassetteSense));
  return static_cast<std::uint8_t>(
      ((State.Latch & State.Direction) | (pulledUp & ~State.Direction)) & HeldLines);
}

std::uint8_t ProcessorPort::Read(std::uint16_t address, std::uint64_t cycle) const {
  if ((address & 1) == 0) return State.Direction;
  auto value = static_cast<std::uint8_t>(Lines() | (State.Latch & State.Direction));
  for (int i = 0; i < 3; ++i) {
    const std::uint8_t bit = FloatingLines[i];
    if ((State.Direction & bit) == 0 && cycle < State.FadesAt[i]) value |= State.Floating & bit;
  }
  return value;
}

void ProcessorPort::Write(std::uint16_t address, std::uint8_t value, std::uint64_t cycle) {
  if ((address & 1) != 0) {
    State.Latch = value;
    return;
  }
  // A floating line switched from output to input keeps the level it drove, fading from now.
  // Latch writes while it is an input do not charge it.
  for (int i = 0; i < 3; ++i) {
    const std::uint8_t bit = FloatingLines[i];
    if ((State.Direction & bit) == 0 || (value & bit) != 0) continue;
    State.Floating = static_cast<std::uint8_t>((State.Floating & ~bit) | (State.Latch & bit));
    State.FadesAt[i] = cycle + PortBitFadeCycles;
  }
  State.Direction = value;
}

void ProcessorPort::Reset(std::uint64_t cycle) {
  Write(0, 0, cycle);
  State.Latch = 0;
}

}  // namespace quillon::accurate
