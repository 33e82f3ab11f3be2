// Sockets through Winsock 2, with select for the waits. A program of the Windows subsystem
// serves the remote monitor from its window and from a headless run alike.
#include <winsock2.h>
// After winsock2.h, which it builds on.
#include <ws2tcpip.h>

#include <string>

#include "backends/win32/win32_backend.h"
#include "platform/socket_platform.h"

namespace quillon {
namespace {

bool WinsockStarted = false;

std::string LastError() { return "Winsock error " + std::to_string(WSAGetLastError()); }

SOCKET Native(SocketHandle socket) { return static_cast<SOCKET>(socket); }

bool MakeNonBlocking(SOCKET socket) {
  u_long on = 1;
  return ioctlsocket(socket, FIONBIO, &on) == 0;
}

SocketHandle Listen(const std::string& address, std::uint16_t port, std::string& error) {
  if (!WinsockStarted) {
    WSADATA data;
    WinsockStarted = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!WinsockStarted) {
      error = "Winsock did not start";
      return NoSocket;
    }
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
    error = "no such address (" + LastError() + ")";
    return NoSocket;
  }
  error = "no address to listen on";
  SocketHandle result = NoSocket;
  for (const addrinfo* a = found; a != nullptr && result == NoSocket; a = a->ai_next) {
    const SOCKET s = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (s == INVALID_SOCKET) {
      error = LastError();
      continue;
    }
    if (bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 && listen(s, 4) == 0 &&
        MakeNonBlocking(s)) {
      result = static_cast<SocketHandle>(s);
    } else {
      error = LastError();
      closesocket(s);
    }
  }
  freeaddrinfo(found);
  return result;
}

std::uint16_t LocalPort(SocketHandle socket) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (getsockname(Native(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  if (address.ss_family == AF_INET6)
    return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
  return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
}

SocketHandle Accept(SocketHandle listener) {
  const SOCKET s = accept(Native(listener), nullptr, nullptr);
  if (s == INVALID_SOCKET) return NoSocket;
  if (!MakeNonBlocking(s)) {
    closesocket(s);
    return NoSocket;
  }
  // Replies are small and each one counts: no waiting to fill a segment.
  const BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
  return static_cast<SocketHandle>(s);
}

void Wait(SocketWait* sockets, int count, int milliseconds) {
  fd_set readable;
  fd_set writable;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  for (int i = 0; i < count; ++i) {
    if (sockets[i].WantRead) FD_SET(Native(sockets[i].Socket), &readable);
    if (sockets[i].WantWrite) FD_SET(Native(sockets[i].Socket), &writable);
  }
  timeval timeout = {milliseconds / 1000, (milliseconds % 1000) * 1000};
  const int ready = select(0, &readable, &writable, nullptr, &timeout);
  for (int i = 0; i < count; ++i) {
    sockets[i].Readable = ready > 0 && FD_ISSET(Native(sockets[i].Socket), &readable);
    sockets[i].Writable = ready > 0 && FD_ISSET(Native(sockets[i].Socket), &writable);
  }
}

std::int32_t Receive(SocketHandle socket, std::uint8_t* buffer, std::int32_t capacity) {
  const int got = recv(Native(socket), reinterpret_cast<char*>(buffer), capacity, 0);
  if (got != SOCKET_ERROR) return got;
  return WSAGetLastError() == WSAEWOULDBLOCK ? SocketWouldBlock : SocketBroken;
}

std::int32_t Send(SocketHandle socket, const std::uint8_t* data, std::int32_t size) {
  const int sent = send(Native(socket), reinterpret_cast<const char*>(data), size, 0);
  if (sent != SOCKET_ERROR) return sent;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : SocketBroken;
}

void Close(SocketHandle socket) { closesocket(Native(socket)); }

}  // namespace

void UseWinsockSockets() {
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
