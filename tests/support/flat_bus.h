// A bus for the accurate 6510 alone: 64 KB of RAM, a cycle counter, a log of every access,
// IRQ and NMI lines asserted over a window of cycles, and reads that can be held up by RDY.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace quillon::test {

inline constexpr std::uint64_t NeverCycle = ~std::uint64_t{0};

struct BusAccess {
  std::uint64_t Cycle;
  std::uint16_t Address;
  std::uint8_t Value;
  bool Write;
};

// A line asserted from the end of cycle From to the end of cycle Until - 1. Cycles count from 1;
// From = 0 asserts the line before the first cycle.
struct BusLine {
  std::uint64_t From = NeverCycle;
  std::uint64_t Until = NeverCycle;

  bool AssertedAfter(std::uint64_t cycle) const { return cycle >= From && cycle < Until; }
};

struct FlatBus {
  std::uint8_t Ram[0x10000];
  std::uint64_t Cycle = 0;  // completed cycles
  bool Logging = true;
  std::vector<BusAccess> Log;
  BusLine Irq;
  BusLine Nmi;
  // The read that would take this cycle waits for RDY for StallCycles cycles first.
  std::uint64_t StallReadAt = NeverCycle;
  std::uint64_t StallCycles = 3;
  bool Stalled = false;

  std::uint8_t Read(std::uint16_t address) {
    Stalled = Cycle + 1 == StallReadAt;
    if (Stalled) Cycle += StallCycles;
    ++Cycle;
    if (Logging) Log.push_back({Cycle, address, Ram[address], false});
    return Ram[address];
  }
  void Write(std::uint16_t address, std::uint8_t value) {
    ++Cycle;
    Ram[address] = value;
    if (Logging) Log.push_back({Cycle, address, value, true});
  }
  bool IrqLine() const { return Irq.AssertedAfter(Cycle); }
  bool NmiLine() const { return Nmi.AssertedAfter(Cycle); }
  bool LastReadWasStalled() const { return Stalled; }

  // The log from entry `first` on as text: a read as its address, a write as W, the address,
  // = and the value, all in hex ("1000 1001 W01FD=10").
  std::string Trace(std::size_t first = 0) const {
    std::string text;
    for (std::size_t i = first; i < Log.size(); ++i) {
      char entry[16];
      const BusAccess& access = Log[i];
      if (access.Write) {
        std::snprintf(entry, sizeof entry, "W%04X=%02X", access.Address, access.Value);
      } else {
        std::snprintf(entry, sizeof entry, "%04X", access.Address);
      }
      if (!text.empty()) text += ' ';
      text += entry;
    }
    return text;
  }
};

}  // namespace quillon::test
