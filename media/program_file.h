// Program files (PRG, and P00 with its 26-byte header) loaded straight into RAM and started by
// typing RUN into the keyboard buffer.
#pragma once

namespace quillon {

// A name whose last character is '0' is a P00 file. A file that cannot be opened, or ends
// before its load address, changes nothing.
void LoadProgramFile(const char* path);

}  // namespace quillon
