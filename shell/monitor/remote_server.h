// The remote monitor's server: a thread of its own that listens, serves one client at a time
// (a second is told so and let go), frames the client's commands and writes out what the
// emulation thread has for it. The thread never touches the machine: the commands wait in a
// queue until the emulation thread takes them between two runs (MonitorPoll). Nothing about a
// client can hold up the emulation: writes never wait, and a client that does not read what it
// is sent, so that more than MaxRemoteOutput bytes pile up, is dropped; one that sends more
// commands than are carried out waits, unread, behind TCP's own flow control. The protocol has
// no authentication: whoever reaches the port controls the emulator, so it listens on the
// loopback address unless told otherwise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

inline constexpr char DefaultRemoteMonitorAddress[] = "127.0.0.1:6502";
inline constexpr std::size_t MaxRemoteOutput = 4 << 20;

// Splits "ADDRESS:PORT" (an IPv6 address in brackets: "[::1]:6502"). Returns an empty string,
// or what is wrong with it.
std::string SplitMonitorAddress(const std::string& text, std::string& host, std::uint16_t& port);

// Starts serving at `address` ("ADDRESS:PORT"; port 0 takes any free one) and attaches the
// protocol to the monitor. Returns an empty string, or a line that says why it cannot.
std::string StartRemoteMonitor(const std::string& address);
// Sends what is still queued for the client (waiting a moment at most), closes the sockets,
// ends the thread and detaches the protocol: the remote client's checkpoints go.
void StopRemoteMonitor();
bool RemoteMonitorRunning();
// The port it listens on; 0 while it does not.
std::uint16_t RemoteMonitorPort();

}  // namespace quillon
