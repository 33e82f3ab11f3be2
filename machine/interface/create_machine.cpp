#include "interface/create_machine.h"

#include <cstring>

#include "accurate/accurate_machine.h"
#include "core/classic_machine.h"

namespace quillon {

std::unique_ptr<Machine> CreateMachine(MachineModel model, const MachineOptions& options) {
  switch (model) {
    case MachineModel::Classic:
      return CreateClassicMachine();
    case MachineModel::Accurate:
      return accurate::CreateAccurateMachine(
          options.NewCias ? accurate::CiaModel::Mos6526A : accurate::CiaModel::Mos6526,
          options.Sid == SidChip::Mos8580 ? accurate::SidModel::Mos8580
                                          : accurate::SidModel::Mos6581);
  }
  return nullptr;
}

MachineModel SnapshotBodyModel(const std::uint8_t* body, std::size_t size) {
  SnapshotReader in{body, size};
  const std::size_t end = in.OpenBlock("MODL");
  constexpr std::size_t length = sizeof accurate::SnapshotModelName - 1;
  if (end == 0 || end - in.Position != length ||
      std::memcmp(body + in.Position, accurate::SnapshotModelName, length) != 0) {
    return MachineModel::Classic;
  }
  return MachineModel::Accurate;
}

}  // namespace quillon
