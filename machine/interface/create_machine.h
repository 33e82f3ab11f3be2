// Choosing a machine model: the one place that knows them all.
#pragma once

#include <memory>

#include "interface/machine.h"

namespace quillon {

// The machine of a model, not yet powered on; null when it cannot be made (the classic model
// keeps its chips in global records, so only one classic machine exists at a time).
std::unique_ptr<Machine> CreateMachine(MachineModel model);

}  // namespace quillon
