// The classic machine behind the machine interface: the chips' global records, run by RunStep
// and the fast path. There is one classic machine; each object made here is a handle to it.
#pragma once

#include <memory>

#include "interface/machine.h"

namespace quillon {

std::unique_ptr<Machine> CreateClassicMachine();

}  // namespace quillon
