#include "support/monitor_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

namespace quillon::test {

Body& Body::U8(std::uint32_t value) {
  Bytes.push_back(static_cast<std::uint8_t>(value));
  return *this;
}

Body& Body::U16(std::uint32_t value) { return U8(value).U8(value >> 8); }

Body& Body::U32(std::uint32_t value) { return U16(value).U16(value >> 16); }

Body& Body::Text(const std::string& text) {
  U8(static_cast<std::uint32_t>(text.size()));
  Bytes.insert(Bytes.end(), text.begin(), text.end());
  return *this;
}

Body& Body::Raw(std::initializer_list<std::uint8_t> bytes) {
  Bytes.insert(Bytes.end(), bytes.begin(), bytes.end());
  return *this;
}

std::uint16_t Word16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint16_t>(bytes.at(at) | bytes.at(at + 1) << 8);
}

std::uint32_t Word32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return Word16(bytes, at) | std::uint32_t{Word16(bytes, at + 2)} << 16;
}

MonitorClient::~MonitorClient() { Close(); }

bool MonitorClient::Connect(std::uint16_t port) {
  Close();
  Socket = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(Socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    Close();
    return false;
  }
  const int on = 1;
  setsockopt(Socket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return true;
}

void MonitorClient::Close() {
  if (Socket >= 0) close(Socket);
  Socket = -1;
  Buffer.clear();
}

void MonitorClient::SendRaw(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(Socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    ASSERT_GT(n, 0) << "the server took no more bytes";
    sent += static_cast<std::size_t>(n);
  }
}

std::uint32_t MonitorClient::Send(std::uint8_t type, const Body& body, std::uint8_t api) {
  const std::uint32_t id = NextId++;
  Body command;
  command.U8(0x02).U8(api).U32(static_cast<std::uint32_t>(body.Bytes.size())).U32(id).U8(type);
  command.Bytes.insert(command.Bytes.end(), body.Bytes.begin(), body.Bytes.end());
  SendRaw(command.Bytes);
  return id;
}

bool MonitorClient::Fill(std::size_t count, int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (Buffer.size() < count) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd wait = {Socket, POLLIN, 0};
    if (poll(&wait, 1, static_cast<int>(left.count())) <= 0) continue;
    std::uint8_t chunk[65536];
    const ssize_t got = recv(Socket, chunk, sizeof chunk, 0);
    if (got <= 0) return false;
    BytesReceived += static_cast<std::size_t>(got);
    Buffer.insert(Buffer.end(), chunk, chunk + got);
  }
  return true;
}

bool MonitorClient::Read(MonitorMessage& message, int milliseconds) {
  if (!Fill(12, milliseconds)) return false;
  EXPECT_EQ(Buffer[0], 0x02) << "STX";
  EXPECT_EQ(Buffer[1], 0x02) << "API version";
  const std::uint32_t length = Word32(Buffer, 2);
  if (!Fill(12 + length, milliseconds)) return false;
  message.Type = Buffer[6];
  message.Error = Buffer[7];
  message.Id = Word32(Buffer, 8);
  message.Body.assign(Buffer.begin() + 12, Buffer.begin() + 12 + length);
  Buffer.erase(Buffer.begin(), Buffer.begin() + 12 + length);
  return true;
}

MonitorMessage MonitorClient::Reply(std::uint32_t id) {
  MonitorMessage message{};
  while (Read(message)) {
    if (message.Id == id) return message;
    Events.push_back(message);
  }
  ADD_FAILURE() << "no reply to request " << id;
  return {0xEE, 0xEE, 0, {}};
}

MonitorMessage MonitorClient::Call(std::uint8_t type, const Body& body) {
  return Reply(Send(type, body));
}

MonitorMessage MonitorClient::WaitForStop() {
  MonitorMessage message{};
  while (Read(message)) {
    if (message.Id == EventId && message.Type == 0x62) return message;
    Events.push_back(message);
  }
  ADD_FAILURE() << "the machine did not stop";
  return {0xEE, 0xEE, 0, {}};
}

bool MonitorClient::ClosedWithin(int milliseconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd wait = {Socket, POLLIN, 0};
    if (poll(&wait, 1, 50) <= 0) continue;
    std::uint8_t chunk[65536];
    const ssize_t got = recv(Socket, chunk, sizeof chunk, 0);
    if (got <= 0) return true;
    BytesReceived += static_cast<std::size_t>(got);
  }
  return false;
}

}  // namespace quillon::test
