#include "interface/machine.h"

namespace quillon {
namespace {

// The KERNAL's keyboard wait: LDA $C6 / STA $CC / STA $0292 / BEQ back, at $E5CD-$E5D5.
constexpr std::uint16_t KeyboardWaitStart = 0xE5CD;
constexpr std::uint16_t KeyboardWaitEnd = 0xE5D5;
constexpr std::uint16_t KeyboardBufferCount = 0xC6;
constexpr std::uint16_t CursorBlinkOff = 0xCC;

}  // namespace

bool BasicWaitsForInput(const Machine& machine) {
  const std::uint16_t pc = machine.Registers().PC;
  const std::uint8_t* ram = machine.Ram();
  return pc >= KeyboardWaitStart && pc <= KeyboardWaitEnd && ram[KeyboardBufferCount] == 0 &&
         ram[CursorBlinkOff] == 0;
}

}  // namespace quillon
