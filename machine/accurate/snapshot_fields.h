// Snapshots of the accurate machine's chips. A chip's state record lists its fields once, in a
// static member template Fields(state, visit); the same list writes the snapshot and reads it
// back, so a new field is added in one place.
#pragma once

#include <cstdint>

#include "interface/snapshot_stream.h"

namespace quillon::accurate {

struct FieldWriter {
  SnapshotWriter& Out;

  void operator()(bool value) const { Out.U8(value ? 1 : 0); }
  void operator()(std::uint8_t value) const { Out.U8(value); }
  void operator()(std::uint16_t value) const { Out.U16(value); }
  void operator()(std::uint64_t value) const { Out.U64(value); }
};

struct FieldReader {
  SnapshotReader& In;

  void operator()(bool& value) const { value = In.Flag(); }
  void operator()(std::uint8_t& value) const { value = In.U8(); }
  void operator()(std::uint16_t& value) const { value = In.U16(); }
  void operator()(std::uint64_t& value) const { value = In.U64(); }
};

template <class State>
void SaveFields(const State& state, SnapshotWriter& out) {
  State::Fields(state, FieldWriter{out});
}

// Reads into a copy and keeps it only when every field was there and valid: damaged data leave
// `state` as it was.
template <class State>
bool LoadFields(State& state, SnapshotReader& in) {
  State loaded = state;
  State::Fields(loaded, FieldReader{in});
  if (in.Failed) return false;
  state = loaded;
  return true;
}

}  // namespace quillon::accurate
