// A bounded queue of 16-bit samples between two threads, one that puts them in and one that
// takes them out, neither of which ever waits for the other or takes a lock.
//
// Each side owns one counter, the samples it has put or taken so far, and only reads the
// other's. The putter writes its samples into the free room and then publishes them with a
// release store of its counter; the taker's acquire load of that counter makes them visible
// before it reads them. The taker hands the room back the same way, so the putter never writes
// over a sample that is still being read. The counters run on and wrap; their difference is
// the fill.
//
// A put that finds too little room keeps what fits and drops the rest, and raises a flag that
// the taker reads and clears: what still waits is then older than what was lost.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace quillon::accurate {

class SampleQueue {
 public:
  // A power of two, so that the counters wrap with the buffer.
  static constexpr std::uint32_t Capacity = 8192;

  // --- The putting thread ---
  // Puts `count` samples, oldest first; returns how many fitted.
  std::size_t Put(const std::int16_t* samples, std::size_t count) {
    const std::uint32_t put = PutCount.load(std::memory_order_relaxed);
    const std::uint32_t taken = TakenCount.load(std::memory_order_acquire);
    const std::size_t fits = std::min<std::size_t>(count, Capacity - (put - taken));
    const std::size_t at = put & (Capacity - 1);
    const std::size_t first = std::min<std::size_t>(fits, Capacity - at);
    std::memcpy(Samples + at, samples, first * sizeof *samples);
    std::memcpy(Samples, samples + first, (fits - first) * sizeof *samples);
    PutCount.store(put + static_cast<std::uint32_t>(fits), std::memory_order_release);
    if (fits < count) Overflowed.store(true, std::memory_order_relaxed);
    return fits;
  }

  // --- The taking thread ---
  std::size_t Ready() const {
    return PutCount.load(std::memory_order_acquire) - TakenCount.load(std::memory_order_relaxed);
  }
  // Takes up to `max` samples, oldest first; returns how many.
  std::size_t Take(std::int16_t* out, std::size_t max) {
    const std::uint32_t taken = TakenCount.load(std::memory_order_relaxed);
    const std::size_t count = std::min<std::size_t>(max, Ready());
    const std::size_t at = taken & (Capacity - 1);
    const std::size_t first = std::min<std::size_t>(count, Capacity - at);
    std::memcpy(out, Samples + at, first * sizeof *out);
    std::memcpy(out + first, Samples, (count - first) * sizeof *out);
    TakenCount.store(taken + static_cast<std::uint32_t>(count), std::memory_order_release);
    return count;
  }
  // Lets the oldest `count` samples go (no more than are ready).
  void Skip(std::size_t count) {
    const std::uint32_t taken = TakenCount.load(std::memory_order_relaxed);
    const auto skipped = static_cast<std::uint32_t>(std::min(count, Ready()));
    TakenCount.store(taken + skipped, std::memory_order_release);
  }
  // Whether a put has dropped samples since the last call.
  bool TakeOverflow() { return Overflowed.exchange(false, std::memory_order_relaxed); }

 private:
  std::int16_t Samples[Capacity];
  // Apart, so that the two threads do not share a cache line for their counters.
  alignas(64) std::atomic<std::uint32_t> PutCount{0};
  alignas(64) std::atomic<std::uint32_t> TakenCount{0};
  std::atomic<bool> Overflowed{false};
};

}  // namespace quillon::accurate
