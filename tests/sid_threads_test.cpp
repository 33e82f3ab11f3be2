// The sound timer's thread mixes while the emulation thread raises gate events; run under
// ThreadSanitizer (label tsan) this shows the two never touch a voice at the same time.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "sid/mixer.h"
#include "sid/sid.h"
#include "support/machine.h"

namespace quillon {
namespace {

TEST(SidThreads, GateEventsAndTimerTicksRunConcurrently) {
  test::PowerOnMachine();
  std::atomic<bool> writing{true};
  std::atomic<int> ticks{0};
  std::thread timer([&] {
    while (writing.load() || ticks.load() < 200) {
      SoundTimerTick();
      ticks.fetch_add(1);
    }
  });
  for (int round = 0; round < 20000; ++round) {
    for (int base = 0; base < 21; base += 7) {
      // New frequency and envelope, then the gate on with a waveform that changes, and off.
      const std::uint8_t values[] = {std::uint8_t(round), std::uint8_t(round >> 4), 0, 0,
                                     std::uint8_t(((round + base) & 0xF0) | 1),
                                     std::uint8_t(round * 7), std::uint8_t(round * 13)};
      for (int r : {0, 1, 5, 6, 4}) SidWrite(static_cast<std::uint8_t>(base + r), values[r]);
      SidWrite(static_cast<std::uint8_t>(base + 4), values[4] & 0xF0);
    }
    ASSERT_LE(SidRead(0x1C), 254);
    // The CPU's trap at the KERNAL's reset entry silences all voices.
    if (round % 1000 == 0) ActiveVoices.fetch_and(~AllVoicesMask);
  }
  writing = false;
  timer.join();
  EXPECT_EQ(ActiveVoices.load() & ~AllVoicesMask, 0u);
  for (const SidVoice& v : Sid.Voices) {
    EXPECT_TRUE(v.Level.load() >= 0 && v.Level.load() <= EnvelopeTop);
    EXPECT_LT(v.Phase, 64u << 14);
  }
}

}  // namespace
}  // namespace quillon
