#include "vic/frame_image.h"

namespace quillon {

FrameImageState FrameImage = {};

}  // namespace quillon
