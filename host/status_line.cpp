#include "host/status_line.h"

namespace quillon {

void DrawStatusLine(std::int32_t, std::int32_t) {}
void DrawRasterMarker(std::uint16_t) {}

}  // namespace quillon
