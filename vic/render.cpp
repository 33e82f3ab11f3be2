#include "vic/render.h"

namespace quillon {

void RenderRasterLine() {}

}  // namespace quillon
