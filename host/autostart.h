// Starting a file given when the program starts: a cartridge goes in before the first reset, a
// program is loaded once BASIC has booted and waits for input.
#pragma once

#include <string>

namespace quillon {

// True while the KERNAL's screen editor sits in its keyboard wait with an empty keyboard buffer
// and the cursor blinking: BASIC waits for a line to be typed.
bool BasicWaitsForInput();

// Attaches `disk`, when not empty, as drive 8's image. Attaches `file` when it is a cartridge
// image, so that the first reset loads it, and returns an empty string; otherwise returns
// `file`, to start once BASIC waits for input: a program file, or a disk image, which is
// attached now.
std::string AttachStartFile(const std::string& file, const std::string& disk = "");

// Starts `file` as AttachStartFile left it: loads a program file and types RUN; for a disk
// image, loads its first program as LOAD"*",8,1 would and types RUN.
void StartFile(const std::string& file);

// Starts `program` and empties it once BASIC waits for input; called between main-loop passes.
// Does nothing while `program` is empty.
void StartProgramOnceBasicWaits(std::string& program);

}  // namespace quillon
