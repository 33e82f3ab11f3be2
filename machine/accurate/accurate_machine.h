// The cycle-exact machine behind the machine interface: the accurate 6510 on the board of
// board.h, every piece of its state in the instance, so that any number of them can run side by
// side.
#pragma once

#include <memory>

#include "accurate/cia6526.h"
#include "accurate/sid_tables.h"
#include "interface/machine.h"

namespace quillon::accurate {

// The name the accurate model's snapshots open with, in their first block.
inline constexpr char SnapshotModelName[] = "accurate";

std::unique_ptr<Machine> CreateAccurateMachine(CiaModel cias, SidModel sid);

}  // namespace quillon::accurate
