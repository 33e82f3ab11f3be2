// The picture with its border in colour numbers, as the window shows it: BorderedWidth x
// BorderedHeight (interface/picture.h), for the remote monitor's display command.
#pragma once

#include <cstdint>

#include "interface/machine.h"

namespace quillon {

// The bordered picture into `out`, top row first: the border as the model draws it (pixel by
// pixel where it has a BorderedPicture(), else a colour a line) and the display window from
// Picture(), with whatever the shell drew there.
void BorderedFrame(Machine& machine, std::uint8_t* out);

}  // namespace quillon
