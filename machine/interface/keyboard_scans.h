// The keyboard as programs scan it, which every model counts the same way: a scan is a run of
// reads of CIA 1's port B, the key matrix's rows, each less than KeyboardScanGap cycles after
// the one before. A scan's reads come a few hundred cycles apart (the KERNAL's loop over a
// column's eight bits between them), and the next scan a sixtieth of a second later.
#pragma once

#include <cstdint>

namespace quillon {

inline constexpr std::uint64_t KeyboardScanGap = 1000;

// The scans so far: how many have begun, and the cycle of the last read of the rows, 0 before
// any.
struct KeyboardScans {
  std::uint64_t Begun;
  std::uint64_t LastRead;

  // Notes a read of the rows in `cycle`.
  void NoteRead(std::uint64_t cycle) {
    if (LastRead == 0 || cycle - LastRead >= KeyboardScanGap) ++Begun;
    LastRead = cycle;
  }
};

}  // namespace quillon
