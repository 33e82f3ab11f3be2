// Choosing a machine model: the one place that knows them all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "interface/machine.h"

namespace quillon {

// What a model is built with.
struct MachineOptions {
  // The accurate model's CIAs: the 6526A and its kin ("new") instead of the first NMOS 6526
  // ("old"). The classic model has one kind.
  bool NewCias = false;
  // The accurate model's SID chip. The classic model mixes voices of its own.
  SidChip Sid = SidChip::Mos6581;
};

// The machine of a model, not yet powered on. The classic model keeps its chips in global
// records: every classic machine made is the same machine.
std::unique_ptr<Machine> CreateMachine(MachineModel model, const MachineOptions& options = {});

// The model whose machine wrote a snapshot body: the accurate model's bodies open with a block
// that names it, the classic model's (which are older than the models) with the processor's.
MachineModel SnapshotBodyModel(const std::uint8_t* body, std::size_t size);

}  // namespace quillon
