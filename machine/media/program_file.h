// Program files (PRG, and P00 with its 26-byte header) loaded straight into RAM and started by
// typing RUN into the keyboard buffer.
#pragma once

#include <cstdint>

namespace quillon {

// A name whose last character is '0' is a P00 file. A file that is not a regular file, cannot
// be opened, or ends before its load address, changes nothing and gives false. Past 64 KB of
// program bytes the rest of a file is not read.
bool LoadProgramFile(const char* path, std::uint8_t* ram);

// Makes the program that ends before `end` BASIC's current one (the start of its variables and
// arrays follow the end) and types RUN into the keyboard buffer.
void StartLoadedProgram(std::uint8_t* ram, std::uint16_t end);

}  // namespace quillon
