// The remote monitor protocol, API version 2, that C64 debuggers and scripts speak over TCP: a
// command is STX ($02), the API version, a little-endian 32-bit body length, a 32-bit request
// id, a command type and the body; a reply or event is STX, the version (always 2), the body
// length, the type, an error code and the request id ($FFFFFFFF for an event), then the body.
// Framing here is pure and bounded, so that any bytes at all can be fed to it; carrying out
// the commands runs on the emulation thread, through the monitor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillon {

inline constexpr std::uint8_t RemoteStx = 0x02;
inline constexpr std::uint8_t RemoteApiVersion = 0x02;
inline constexpr std::size_t RemoteCommandHeaderSize = 11;
inline constexpr std::size_t RemoteReplyHeaderSize = 12;
// The largest body a command needs: a memory set of all 64 KB after its 8 bytes of fields.
inline constexpr std::uint32_t RemoteMaxBodySize = 8 + 65536;
inline constexpr std::uint32_t RemoteEventId = 0xFFFFFFFF;

// Error codes.
inline constexpr std::uint8_t RemoteOk = 0x00;
inline constexpr std::uint8_t RemoteNoSuchObject = 0x01;
inline constexpr std::uint8_t RemoteBadMemspace = 0x02;
inline constexpr std::uint8_t RemoteBadLength = 0x80;
inline constexpr std::uint8_t RemoteBadParameter = 0x81;
inline constexpr std::uint8_t RemoteBadVersion = 0x82;
inline constexpr std::uint8_t RemoteBadCommand = 0x83;
inline constexpr std::uint8_t RemoteFailed = 0x8F;

struct RemoteCommand {
  std::uint8_t Api;
  std::uint32_t RequestId;
  std::uint8_t Type;
  std::vector<std::uint8_t> Body;
};

enum class RemoteFrame : std::uint8_t {
  Incomplete,  // no whole command yet: more bytes must come
  Command,     // a command was read
  TooLong,     // a command announces a body longer than any command has: the stream is lost
};

// Reads the first whole command from `size` bytes received. Bytes before an STX are skipped. In
// `used`, the bytes taken (the skipped ones, and the command's when one was read); with
// TooLong, the bytes up to its header. Never reads past `size`, never allocates more than a
// command's body.
RemoteFrame ReadRemoteCommand(const std::uint8_t* bytes, std::size_t size, std::size_t& used,
                              RemoteCommand& command);

// A reply or event with `body`, appended to `out`.
void AppendRemoteReply(std::vector<std::uint8_t>& out, std::uint8_t type, std::uint8_t error,
                       std::uint32_t requestId, const std::vector<std::uint8_t>& body);

// Where the protocol's replies and events go, whole messages at a time.
using RemoteSink = void (*)(const std::uint8_t* data, std::size_t size);

// Attaches the protocol to the monitor as the remote client's front end: its events and
// replies go to `sink`, and `poll` takes the commands that have come in.
void AttachRemoteProtocol(RemoteSink sink, void (*poll)());
void DetachRemoteProtocol();
// Carries out `command` and answers it. A command that comes while the machine runs stops it
// first: the registers and the stop are reported before the reply.
void HandleRemoteCommand(const RemoteCommand& command);
// The client has left: its checkpoints go, the joysticks and the user port's lines it held are
// let go, and a held machine runs on. The front end stays for the next client.
void RemoteClientLeft();

}  // namespace quillon
