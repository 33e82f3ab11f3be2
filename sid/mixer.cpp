#include "sid/mixer.h"

namespace quillon {

std::int32_t SidInit(std::uint32_t, std::uint32_t) { return 0; }
std::int32_t SoundStart() { return 0; }

}  // namespace quillon
