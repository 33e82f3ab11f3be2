// The disassembler of the trace view, the trace log and the monitor: one text per opcode, an
// upper-case mnemonic and an operand template, the undocumented opcodes under their usual
// names. In the template "a" stands for the byte after the opcode and "b" for the one after
// that, each drawn as two hex digits; every other character is drawn as it stands. "$ba" is an
// absolute address, "$a" one in page zero ("#$a" an immediate value) and "$*a" a branch's
// offset.
#pragma once

#include <cstddef>
#include <cstdint>

#include "interface/machine.h"

namespace quillon {

extern const char* const DisassemblyTable[256];

// Whether the opcode is none of the 151 the 6502's makers documented.
bool IsUndocumented(std::uint8_t opcode);

// How operands are written. The trace view's way: as the bytes stand, a branch's offset raw
// ("BNE $*FB"). The monitor's: a branch's target as an address ("BNE $E5CD"), and the name an
// address has (from LabelOf, which answers null for none) in place of the address.
struct DisassemblyStyle {
  bool BranchTargets;
  const char* (*LabelOf)(std::uint16_t address);
};
inline constexpr DisassemblyStyle TraceStyle = {false, nullptr};
// A longer label is shown cut to this many characters.
inline constexpr std::size_t LongestLabelShown = 32;

// An instruction as it is shown.
struct Disassembly {
  std::uint8_t Bytes[3];  // the opcode, then the bytes its template's "a" and "b" stand for
  int Length;             // how many of Bytes the template names: 1 to 3
  char Text[48];          // the expanded template, for example "LDX #$FF"
};

// The instruction at `pc` whose opcode and the two bytes after it are `bytes`.
Disassembly DisassembleBytes(std::uint16_t pc, const std::uint8_t* bytes,
                             const DisassemblyStyle& style);

// The instruction at `pc` in the trace view's way, its bytes read from the machine without
// side effects.
Disassembly Disassemble(std::uint16_t pc, const Machine& machine);

}  // namespace quillon
