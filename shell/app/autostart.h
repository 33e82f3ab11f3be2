// Starting a file given when the program starts, and the work between two passes of a run: a
// cartridge goes in before the first reset, a program is started once BASIC has booted and waits
// for input, and the typing queue hears of the frames that passed.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

// Attaches `disk`, when not empty, as drive 8's image. Attaches `file` when it is a cartridge
// image, so that the first reset loads it, and returns an empty string; otherwise returns
// `file`, to start once BASIC waits for input: a program file, or a disk image, which is
// attached now.
std::string AttachStartFile(const std::string& file, const std::string& disk = "");

// Starts `file` as AttachStartFile left it: loads a program file and types RUN; for a disk
// image, loads its first program as LOAD"*",8,1 would and types RUN.
void StartFile(const std::string& file);

// The work after every pass of a run's loop that ran `frames` frames: starts `program` (and
// empties it) once BASIC waits for input, then lets the typing queue go on.
void FinishPass(std::int32_t frames, std::string& program);

}  // namespace quillon
