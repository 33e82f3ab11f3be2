// What the remote monitor needs from the system's sockets: a TCP server that listens, accepts
// one connection at a time and moves bytes without ever blocking, and a wait on several sockets
// at once. A socket is the system's own thing, so each system's piece fills the table
// (backends/posix on Linux, Winsock in backends/win32); an empty table means no sockets, and the
// remote monitor cannot start.
#pragma once

#include <cstdint>
#include <string>

namespace quillon {

using SocketHandle = std::intptr_t;
inline constexpr SocketHandle NoSocket = -1;

// A socket to wait for, as asked: readable (data, a connection to accept, or the peer gone) and
// writable. The wait fills in what it is.
struct SocketWait {
  SocketHandle Socket;
  bool WantRead;
  bool WantWrite;
  bool Readable;
  bool Writable;
};

// Receive's and Send's answers besides a count.
inline constexpr std::int32_t SocketWouldBlock = -1;
inline constexpr std::int32_t SocketBroken = -2;

struct SocketPlatformOps {
  // A TCP socket listening on `address` (an IPv4 or IPv6 address, or a name) and `port` (0 for
  // any free one), in non-blocking mode. NoSocket, with a line in `error`, when there is none.
  SocketHandle (*Listen)(const std::string& address, std::uint16_t port, std::string& error);
  // The port a listening socket was given.
  std::uint16_t (*LocalPort)(SocketHandle socket);
  // A connection waiting on `listener`, in non-blocking mode; NoSocket when none waits.
  SocketHandle (*Accept)(SocketHandle listener);
  // Waits until one of the `count` sockets is ready as asked, or `milliseconds` have passed.
  void (*Wait)(SocketWait* sockets, int count, int milliseconds);
  // Up to `capacity` bytes received: their count, 0 when the peer has closed the connection,
  // SocketWouldBlock when none are waiting, SocketBroken when the connection failed.
  std::int32_t (*Receive)(SocketHandle socket, std::uint8_t* buffer, std::int32_t capacity);
  // Sends what fits without waiting: the count sent (0 when nothing fits now), or
  // SocketBroken.
  std::int32_t (*Send)(SocketHandle socket, const std::uint8_t* data, std::int32_t size);
  void (*Close)(SocketHandle socket);
};

// Filled by the system's piece before the program starts.
extern SocketPlatformOps SocketPlatform;

}  // namespace quillon
