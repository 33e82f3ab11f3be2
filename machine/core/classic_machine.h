// The classic machine behind the machine interface: the chips' global records, run by RunStep
// and the fast path. Only one exists at a time.
#pragma once

#include <memory>

#include "interface/machine.h"

namespace quillon {

// Null while another classic machine exists.
std::unique_ptr<Machine> CreateClassicMachine();

}  // namespace quillon
