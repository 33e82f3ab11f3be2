#include "vic/sprites.h"

namespace quillon {

void DrawSprites() {}

}  // namespace quillon
