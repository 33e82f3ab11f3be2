// A client of the remote monitor protocol over a real socket, for the tests: it sends commands
// and reads replies and events with a time limit, so that a server that stays silent fails the
// test instead of hanging it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace quillon::test {

struct MonitorMessage {
  std::uint8_t Type;
  std::uint8_t Error;
  std::uint32_t Id;
  std::vector<std::uint8_t> Body;
};

inline constexpr std::uint32_t EventId = 0xFFFFFFFF;

// Little-endian fields of a command body.
struct Body {
  std::vector<std::uint8_t> Bytes;
  Body& U8(std::uint32_t value);
  Body& U16(std::uint32_t value);
  Body& U32(std::uint32_t value);
  Body& Text(const std::string& text);  // a length byte, then the text
  Body& Raw(std::initializer_list<std::uint8_t> bytes);
};

std::uint16_t Word16(const std::vector<std::uint8_t>& bytes, std::size_t at);
std::uint32_t Word32(const std::vector<std::uint8_t>& bytes, std::size_t at);

class MonitorClient {
 public:
  MonitorClient() = default;
  ~MonitorClient();
  MonitorClient(const MonitorClient&) = delete;
  MonitorClient& operator=(const MonitorClient&) = delete;

  // Connects to 127.0.0.1:`port`; false when it cannot.
  bool Connect(std::uint16_t port);
  void Close();
  // Sends a command with the next request id and returns the id.
  std::uint32_t Send(std::uint8_t type, const Body& body = {}, std::uint8_t api = 2);
  void SendRaw(const std::vector<std::uint8_t>& bytes);
  // The next message, within `milliseconds`; false when none came whole (or the connection
  // closed).
  bool Read(MonitorMessage& message, int milliseconds = 5000);
  // Messages up to the reply to `id`, which is returned; the events on the way gather in
  // Events.
  MonitorMessage Reply(std::uint32_t id);
  // Sends a command and returns its reply.
  MonitorMessage Call(std::uint8_t type, const Body& body = {});
  // Events up to the next stopped event, which is returned; the others gather in Events.
  MonitorMessage WaitForStop();
  // Whether the server closed the connection (reading what is left) within `milliseconds`.
  bool ClosedWithin(int milliseconds);

  std::vector<MonitorMessage> Events;
  std::size_t BytesReceived = 0;

 private:
  bool Fill(std::size_t count, int milliseconds);
  int Socket = -1;
  std::uint32_t NextId = 1;
  std::vector<std::uint8_t> Buffer;
};

}  // namespace quillon::test
