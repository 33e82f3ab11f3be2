// Sockets through the POSIX API (BSD sockets and poll).
#pragma once

namespace quillon {

// Fills SocketPlatform.
void UsePosixSockets();

}  // namespace quillon
