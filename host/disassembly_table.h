// The trace view's disassembler: one text per opcode, an upper-case mnemonic and an operand
// template. In the template "a" stands for the byte after the opcode and "b" for the one after
// that, each drawn as two hex digits; every other character is drawn as it stands ("*" marks
// a branch offset, shown raw).
#pragma once

namespace quillon {

extern const char* const DisassemblyTable[256];

}  // namespace quillon
