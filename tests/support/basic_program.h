// BASIC programs built in code: lines of BASIC V2 text turned into the tokenised form that BASIC
// keeps in memory, as a program file would hold them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

namespace quillon::test {

// The bytes of a PRG file for `lines` (each "number text", keywords in capitals) stored from
// `start`: the load address, then the linked, tokenised lines and the closing zero link.
std::vector<std::uint8_t> BasicProgramFile(std::initializer_list<std::string_view> lines,
                                           std::uint16_t start = 0x0801);

}  // namespace quillon::test
