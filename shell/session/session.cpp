#include "session/session.h"

#include "interface/create_machine.h"

namespace quillon {
namespace {

std::unique_ptr<Machine> InUse;

}  // namespace

Machine& CurrentMachine() {
  if (InUse == nullptr) InUse = CreateMachine(MachineModel::Classic);
  return *InUse;
}

void UseMachine(std::unique_ptr<Machine> machine) {
  // The classic model keeps its chips in global records: the old machine goes first.
  InUse.reset();
  InUse = std::move(machine);
}

MachineOptions SessionMachineOptions;

void UseModel(MachineModel model) {
  if (model == MachineModel::Classic && CurrentMachine().Model() == model) return;
  UseMachine(CreateMachine(model, SessionMachineOptions));
}

}  // namespace quillon
