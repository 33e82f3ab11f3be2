// Program files (PRG, and P00 with its 26-byte header) loaded straight into RAM and started by
// typing RUN into the keyboard buffer.
#pragma once

#include <cstdint>

namespace quillon {

// A name whose last character is '0' is a P00 file. The program goes to its load address; BASIC
// takes it as its current one, LOAD's end address and device are set as a LOAD from drive 8
// leaves them, and RUN is typed into the keyboard buffer. A file that is not a regular file,
// cannot be opened, or ends before its load address, changes nothing and gives false. Past
// 64 KB of program bytes the rest of a file is not read.
bool LoadProgramFile(const char* path, std::uint8_t* ram);

}  // namespace quillon
