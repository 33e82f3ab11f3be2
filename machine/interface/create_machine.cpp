#include "interface/create_machine.h"

#include "core/classic_machine.h"

namespace quillon {

std::unique_ptr<Machine> CreateMachine(MachineModel model) {
  switch (model) {
    case MachineModel::Classic:
      return CreateClassicMachine();
    case MachineModel::Accurate:
      break;
  }
  return nullptr;
}

}  // namespace quillon
