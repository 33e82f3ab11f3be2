#include "host/platform.h"

namespace quillon {

PlatformOps Platform = {};

}  // namespace quillon
