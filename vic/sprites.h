// The eight sprites, drawn over the finished frame.
#pragma once

namespace quillon {

void DrawSprites();

}  // namespace quillon
