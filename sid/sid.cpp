#include "sid/sid.h"

namespace quillon {

std::atomic<std::uint32_t> ActiveVoices{0};

std::uint8_t SidRead(std::uint8_t) { return 0; }
void SidWrite(std::uint8_t, std::uint8_t) {}
void SidHardReset() {}

}  // namespace quillon
