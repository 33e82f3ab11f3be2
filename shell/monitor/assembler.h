// The monitor's one-line assembler: the mnemonics and operand forms of the disassembler's own
// table, the undocumented opcodes included (a documented opcode is preferred where both do the
// same: NOP is $EA, SBC # is $E9).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/expression.h"

namespace quillon {

// Assembles `line` ("LDA #$01", "STA $D020,X", "BNE loop", "ASL A") as the instruction at
// `address` into `bytes`. A value that fits a byte takes the page-zero form where there is one;
// a branch's operand is its target. Returns an empty string, or what is wrong with the line.
std::string AssembleLine(std::string_view line, std::uint16_t address, LabelResolver labels,
                         std::vector<std::uint8_t>& bytes);

}  // namespace quillon
