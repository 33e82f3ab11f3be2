// The classic machine's part of a snapshot: its blocks of the body, each chip's fields listed by
// the chip itself, in the order the format lays down.
#pragma once

#include <string>

#include "interface/machine.h"

namespace quillon {

void ClassicSaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard);
// Reads every block and checks every value the machine could not run from; changes the machine
// only when all are sound. Returns an empty string, or what is wrong.
std::string ClassicLoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard);

}  // namespace quillon
