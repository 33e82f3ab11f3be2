#include "host/speed.h"

namespace quillon {

void UpdateSpeed() {}

}  // namespace quillon
