// Feeds arbitrary bytes to the snapshot loader: once as they come, and once with a header made
// right for them (magic, version, sizes and checksum), so that the checks of every block behind
// the checksum are reached too. A snapshot the loader accepts must run. The classic machine is
// the one in use; a snapshot of the accurate model goes into a new machine of its own, as in
// the program. scripts/fuzz.sh starts the corpus with a real snapshot of each model.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "core/machine.h"
#include "snapshot/snapshot.h"

namespace {

using namespace quillon;

void Put(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void LoadAndRun(const std::uint8_t* data, std::size_t size) {
  std::unique_ptr<Machine> replacement;
  if (!SnapshotLoad(data, size, &replacement).empty()) return;
  if (replacement != nullptr) {
    replacement->RunFrames(2);
  } else {
    RunUntilFrame(CycleCounters.FrameCounter + 2);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = EmulatorInit() == 1;
  if (!ready) std::abort();
  LoadAndRun(data, size);
  // Sealed: a snapshot's own header set right, or a header put before bytes that have none.
  std::vector<std::uint8_t> sealed(data, data + size);
  const char magic[] = "QUILSNAP";
  if (size < SnapshotHeaderSize || !std::equal(magic, magic + 8, data)) {
    sealed.insert(sealed.begin(), SnapshotHeaderSize, 0);
    std::copy(magic, magic + 8, sealed.begin());
  }
  const std::size_t body = sealed.size() - SnapshotHeaderSize;
  Put(sealed, 8, SnapshotFormatVersion);
  Put(sealed, 12, SnapshotHeaderSize);
  Put(sealed, 16, static_cast<std::uint32_t>(body));
  Put(sealed, 20, SnapshotChecksum(sealed.data() + SnapshotHeaderSize, body));
  LoadAndRun(sealed.data(), sealed.size());
  return 0;
}
