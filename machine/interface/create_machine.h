// Choosing a machine model: the one place that knows them all.
#pragma once

#include <memory>

#include "interface/machine.h"

namespace quillon {

// The machine of a model, not yet powered on. The classic model keeps its chips in global
// records: every classic machine made is the same machine.
std::unique_ptr<Machine> CreateMachine(MachineModel model);

}  // namespace quillon
