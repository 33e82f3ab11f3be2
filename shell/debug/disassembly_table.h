// The trace view's disassembler: one text per opcode, an upper-case mnemonic and an operand
// template. In the template "a" stands for the byte after the opcode and "b" for the one after
// that, each drawn as two hex digits; every other character is drawn as it stands ("*" marks
// a branch offset, shown raw).
#pragma once

#include <cstdint>

#include "interface/machine.h"

namespace quillon {

extern const char* const DisassemblyTable[256];

// An instruction as the trace view shows it.
struct Disassembly {
  std::uint8_t Bytes[3];  // the opcode, then the bytes its template's "a" and "b" stand for
  int Length;             // how many of Bytes the template names: 1 to 3
  char Text[16];          // the expanded template, for example "LDX #$FF"
};

// Expands the template of the instruction at `pc`, reading the opcode and then each operand
// byte where its placeholder stands, from the machine without side effects.
Disassembly Disassemble(std::uint16_t pc, const Machine& machine);

}  // namespace quillon
