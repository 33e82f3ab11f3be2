#include "interface/picture.h"

namespace quillon {

const std::uint32_t Palette[16] = {
    0x00101010, 0x00FFFFFF, 0x00E04040, 0x0060FFFF, 0x00E060E0, 0x0040E040,
    0x004040E0, 0x00FFFF40, 0x00E0A040, 0x009C7448, 0x00FFA0A0, 0x00545454,
    0x00888888, 0x00A0FFA0, 0x00A0A0FF, 0x00C0C0C0,
};

}  // namespace quillon
