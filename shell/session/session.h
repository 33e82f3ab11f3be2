// The machine the shell runs: one at a time, the classic model unless another was chosen.
#pragma once

#include <memory>

#include "interface/create_machine.h"

namespace quillon {

// The machine in use; a classic machine when none was chosen yet.
Machine& CurrentMachine();

// Puts `machine` in use, ending the one before it. Between runs only, with the sound's timer
// stopped: every room of the shell reaches the machine through CurrentMachine.
void UseMachine(std::unique_ptr<Machine> machine);

// What the shell builds its machines with: the command line's --cia.
extern MachineOptions SessionMachineOptions;

// Before the machine starts: puts a new machine of `model` in use, unless the one in use is a
// classic machine and `model` is the classic model (which has no options).
void UseModel(MachineModel model);

}  // namespace quillon
