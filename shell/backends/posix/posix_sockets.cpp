#include "backends/posix/posix_sockets.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/socket_platform.h"

namespace quillon {
namespace {

bool MakeNonBlocking(int socket) {
  const int flags = fcntl(socket, F_GETFL, 0);
  return flags >= 0 && fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

SocketHandle Listen(const std::string& address, std::uint16_t port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (const int lookup = getaddrinfo(address.c_str(), service.c_str(), &hints, &found);
      lookup != 0) {
    error = gai_strerror(lookup);
    return NoSocket;
  }
  error = "no address to listen on";
  int result = -1;
  for (const addrinfo* a = found; a != nullptr && result < 0; a = a->ai_next) {
    const int s = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) {
      error = std::strerror(errno);
      continue;
    }
    // A server started again at once finds its port free, not held by the last run's
    // connections.
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(s, a->ai_addr, a->ai_addrlen) == 0 && listen(s, 4) == 0 && MakeNonBlocking(s)) {
      result = s;
    } else {
      error = std::strerror(errno);
      close(s);
    }
  }
  freeaddrinfo(found);
  return result;
}

std::uint16_t LocalPort(SocketHandle socket) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getsockname(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return 0;
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

SocketHandle Accept(SocketHandle listener) {
  const int s = accept4(static_cast<int>(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (s < 0) return NoSocket;
  // Replies are small and each one counts: no waiting to fill a segment.
  const int on = 1;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return s;
}

void Wait(SocketWait* sockets, int count, int milliseconds) {
  std::vector<pollfd> polled(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    polled[i] = {static_cast<int>(sockets[i].Socket),
                 static_cast<short>((sockets[i].WantRead ? POLLIN : 0) |
                                    (sockets[i].WantWrite ? POLLOUT : 0)),
                 0};
  }
  const int ready = poll(polled.data(), static_cast<nfds_t>(count), milliseconds);
  for (int i = 0; i < count; ++i) {
    const short events = ready > 0 ? polled[i].revents : 0;
    sockets[i].Readable = (events & (POLLIN | POLLHUP | POLLERR)) != 0;
    sockets[i].Writable = (events & (POLLOUT | POLLERR)) != 0;
  }
}

std::int32_t Receive(SocketHandle socket, std::uint8_t* buffer, std::int32_t capacity) {
  const ssize_t got = recv(static_cast<int>(socket), buffer, static_cast<std::size_t>(capacity), 0);
  if (got >= 0) return static_cast<std::int32_t>(got);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? SocketWouldBlock
                                                                   : SocketBroken;
}

std::int32_t Send(SocketHandle socket, const std::uint8_t* data, std::int32_t size) {
  // A peer that has gone raises no SIGPIPE: the send reports it.
  const ssize_t sent =
      send(static_cast<int>(socket), data, static_cast<std::size_t>(size), MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<std::int32_t>(sent);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : SocketBroken;
}

void Close(SocketHandle socket) { close(static_cast<int>(socket)); }

}  // namespace

void UsePosixSockets() {
  SocketPlatform = {
      .Listen = Listen,
      .LocalPort = LocalPort,
      .Accept = Accept,
      .Wait = Wait,
      .Receive = Receive,
      .Send = Send,
      .Close = Close,
  };
}

}  // namespace quillon
