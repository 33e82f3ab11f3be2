// Feeds arbitrary bytes to the remote monitor as a client's stream: the framing takes commands
// off it as the server's thread does, and each is carried out on the booted machine as the
// emulation thread does, with a frame run after every command that let the machine go, so that
// checkpoints, watches and conditions are met too. Every reply and event must be framed whole.
// The commands that name files on the host (dump, undump, autostart) are sent as pings: a
// fuzzer must not write files where its bytes say.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "backends/headless/headless_backend.h"
#include "keyboard/key_queue.h"
#include "monitor/monitor.h"
#include "monitor/remote_protocol.h"
#include "session/session.h"

namespace {

using namespace quillon;

constexpr std::uint8_t Dump = 0x41;
constexpr std::uint8_t Undump = 0x42;
constexpr std::uint8_t Autostart = 0xDD;
constexpr std::uint8_t Ping = 0x81;
// Frames run in all for one input, whatever it asks.
constexpr int FramesPerInput = 4;

void CheckReply(const std::uint8_t* data, std::size_t size) {
  const std::uint32_t length =
      data[2] | data[3] << 8 | data[4] << 16 | static_cast<std::uint32_t>(data[5]) << 24;
  if (size < RemoteReplyHeaderSize || data[0] != RemoteStx || data[1] != RemoteApiVersion ||
      length != size - RemoteReplyHeaderSize) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = [] {
    UseHeadlessBackend(false);
    return true;
  }();
  if (!ready || !CurrentMachine().PowerOn()) std::abort();
  KeyQueueReset();
  AttachRemoteProtocol(CheckReply, [] {});
  int frames = 0;
  std::size_t at = 0;
  for (;;) {
    RemoteCommand command;
    std::size_t used = 0;
    if (ReadRemoteCommand(data + at, size - at, used, command) != RemoteFrame::Command) break;
    at += used;
    if (command.Type == Dump || command.Type == Undump || command.Type == Autostart) {
      command.Type = Ping;
    }
    HandleRemoteCommand(command);
    if (!MonitorHolds() && frames < FramesPerInput) {
      ++frames;
      CurrentMachine().RunFrames(1);
      MonitorPoll();
    }
  }
  DetachRemoteProtocol();
  MonitorShutDown();
  return 0;
}
