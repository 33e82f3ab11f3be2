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
    for (std::uint8_t voice = 0; voice < 3; ++voice) {
      const std::uint8_t base = static_cast<std::uint8_t>(7 * voice);
      SidWrite(base, static_cast<std::uint8_t>(round));
      SidWrite(base + 1, static_cast<std::uint8_t>(round >> 4));
      SidWrite(base + 5, static_cast<std::uint8_t>(round * 7));
      SidWrite(base + 6, static_cast<std::uint8_t>(round * 13));
      // Gate on with a waveform that changes every round, then off.
      SidWrite(base + 4, static_cast<std::uint8_t>(((round + voice) & 0xF0) | 1));
      SidWrite(base + 4, static_cast<std::uint8_t>((round + voice) & 0xF0));
    }
    const std::uint8_t level = SidRead(0x1C);
    ASSERT_LE(level, 254);
    // The CPU's trap at the KERNAL's reset entry silences all voices.
    if (round % 1000 == 0) ActiveVoices.fetch_and(~AllVoicesMask);
  }
  writing = false;
  timer.join();

  EXPECT_GE(ticks.load(), 200);
  EXPECT_EQ(ActiveVoices.load() & ~AllVoicesMask, 0u);
  for (const SidVoice& v : Sid.Voices) {
    EXPECT_GE(v.Level.load(), 0);
    EXPECT_LE(v.Level.load(), EnvelopeTop);
    EXPECT_LT(v.Phase, 64u << 14);
  }
}

}  // namespace
}  // namespace quillon
