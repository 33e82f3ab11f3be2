// CRC-32 as zlib, PNG and our snapshots compute it (polynomial $EDB88320, reflected).
#pragma once

#include <cstddef>
#include <cstdint>

namespace quillon {

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);

}  // namespace quillon
