// Files for the loaders to read: written to a directory of the test process's own, and BASIC
// programs built in code as a program file would hold them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quillon::test {

// Writes `bytes` to a file called `name` in a directory of this test process's own, and
// returns its path. The directory goes when the process ends.
std::string WriteTempFile(const std::string& name, const std::vector<std::uint8_t>& bytes);

// The bytes of a PRG file for `lines` (each "number text", keywords in capitals) stored from
// `start`: the load address, then the linked, tokenised lines and the closing zero link.
std::vector<std::uint8_t> BasicProgramFile(std::initializer_list<std::string_view> lines,
                                           std::uint16_t start = 0x0801);

// A CRT cartridge image of hardware `type`: the 64-byte file header, then one CHIP packet per
// entry (load address, data), all fields big-endian.
std::vector<std::uint8_t> CrtImage(
    std::uint8_t type,
    const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& packets);

}  // namespace quillon::test
