#include "monitor/remote_server.h"

#include <atomic>
#include <charconv>
#include <chrono>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "monitor/monitor.h"
#include "monitor/remote_protocol.h"
#include "platform/socket_platform.h"

namespace quillon {
namespace {

// How long the thread waits for its sockets before it looks at whether it should stop.
constexpr int WaitMilliseconds = 20;
// Commands carried out behind the client's back: past these, its input is left unread.
constexpr std::size_t MaxQueuedCommands = 64;
constexpr std::size_t MaxQueuedBytes = 1 << 20;
constexpr std::int32_t ReceiveChunk = 64 * 1024;
// The time a stopping server gives its client to take the last replies (the quit's).
constexpr auto FinalFlushTime = std::chrono::milliseconds(500);

constexpr char Refusal[] =
    "Quillon's remote monitor serves one client at a time, and another one is connected.";

// A command for the emulation thread, or the news that a client has left.
struct QueuedItem {
  bool Left;
  std::uint32_t Connection;
  RemoteCommand Command;
};

struct ServerState {
  std::thread Thread;
  std::atomic<bool> StopRequested{false};
  std::atomic<std::uint16_t> Port{0};
  bool Running = false;
  SocketHandle Listener = NoSocket;
  // The server thread's own: what the client sent and is not yet framed.
  std::vector<std::uint8_t> Input;
  // Shared with the emulation thread, under Lock. Only the server thread opens and closes the
  // client's socket; the emulation thread sends through it.
  std::mutex Lock;
  SocketHandle Client = NoSocket;
  std::uint32_t Connection = 0;  // counts the clients served
  std::deque<QueuedItem> Items;
  std::size_t QueuedBytes = 0;
  std::vector<std::uint8_t> Output;
  bool DropClient = false;
  // The emulation thread's own: the client of the command being carried out, 0 between
  // commands (when the events go to whoever is connected).
  std::uint32_t Answering = 0;
};
ServerState Server;

// Under Lock: what can be sent of Output now. A broken connection is dropped.
void FlushLocked() {
  while (!Server.Output.empty() && Server.Client != NoSocket) {
    const std::int32_t sent = SocketPlatform.Send(
        Server.Client, Server.Output.data(),
        static_cast<std::int32_t>(std::min<std::size_t>(Server.Output.size(), ReceiveChunk)));
    if (sent == SocketBroken) {
      Server.DropClient = true;
      Server.Output.clear();
      return;
    }
    if (sent == 0) return;
    Server.Output.erase(Server.Output.begin(), Server.Output.begin() + sent);
  }
}

// The protocol's sink, on the emulation thread: replies for a client that has gone since its
// command came are dropped, and so is a client that lets too much pile up.
void SendToClient(const std::uint8_t* data, std::size_t size) {
  const std::lock_guard lock(Server.Lock);
  if (Server.Client == NoSocket || Server.DropClient) return;
  if (Server.Answering != 0 && Server.Answering != Server.Connection) return;
  Server.Output.insert(Server.Output.end(), data, data + size);
  FlushLocked();
  if (Server.Output.size() > MaxRemoteOutput) {
    Server.DropClient = true;
    Server.Output.clear();
  }
}

// The monitor's poll, on the emulation thread: the commands in the order they came.
void CarryOutCommands() {
  std::deque<QueuedItem> items;
  {
    const std::lock_guard lock(Server.Lock);
    items.swap(Server.Items);
    Server.QueuedBytes = 0;
  }
  for (const QueuedItem& item : items) {
    Server.Answering = item.Connection;
    if (item.Left) {
      RemoteClientLeft();
    } else {
      HandleRemoteCommand(item.Command);
    }
  }
  Server.Answering = 0;
}

void Queue(QueuedItem item) {
  {
    const std::lock_guard lock(Server.Lock);
    Server.QueuedBytes += item.Command.Body.size();
    Server.Items.push_back(std::move(item));
  }
  MonitorWake();
}

// The client is gone or dropped: its socket closes, and the emulation thread hears of it.
void CloseClient() {
  std::uint32_t connection = 0;
  {
    const std::lock_guard lock(Server.Lock);
    if (Server.Client == NoSocket) return;
    SocketPlatform.Close(Server.Client);
    Server.Client = NoSocket;
    Server.Output.clear();
    Server.DropClient = false;
    connection = Server.Connection;
    // What it asked for and was not yet carried out goes with it.
    std::erase_if(Server.Items,
                  [connection](const QueuedItem& item) { return item.Connection == connection; });
  }
  Server.Input.clear();
  Queue({true, connection, {}});
}

void AcceptClients() {
  for (;;) {
    const SocketHandle socket = SocketPlatform.Accept(Server.Listener);
    if (socket == NoSocket) return;
    const std::lock_guard lock(Server.Lock);
    if (Server.Client != NoSocket) {
      // An error reply to no command, with the reason as its text, and the door shut.
      std::vector<std::uint8_t> refusal;
      AppendRemoteReply(refusal, 0x00, RemoteFailed, RemoteEventId,
                        std::vector<std::uint8_t>(std::begin(Refusal), std::end(Refusal) - 1));
      SocketPlatform.Send(socket, refusal.data(), static_cast<std::int32_t>(refusal.size()));
      SocketPlatform.Close(socket);
      continue;
    }
    Server.Client = socket;
    ++Server.Connection;
    Server.Output.clear();
    Server.DropClient = false;
  }
}

// Frames what has come in. False when the client must go: it announced a body longer than any
// command has, after which nothing it sends can be trusted to line up.
bool FrameInput(std::uint32_t connection) {
  std::size_t taken = 0;
  for (;;) {
    RemoteCommand command;
    std::size_t used = 0;
    const RemoteFrame frame =
        ReadRemoteCommand(Server.Input.data() + taken, Server.Input.size() - taken, used, command);
    taken += used;
    if (frame == RemoteFrame::Incomplete) break;
    if (frame == RemoteFrame::TooLong) {
      const std::uint8_t* header = Server.Input.data() + taken;
      const std::uint32_t id = header[6] | header[7] << 8 | header[8] << 16 |
                               static_cast<std::uint32_t>(header[9]) << 24;
      std::vector<std::uint8_t> reply;
      AppendRemoteReply(reply, 0x00, RemoteBadLength, id, {});
      const std::lock_guard lock(Server.Lock);
      SocketPlatform.Send(Server.Client, reply.data(), static_cast<std::int32_t>(reply.size()));
      return false;
    }
    Queue({false, connection, std::move(command)});
  }
  Server.Input.erase(Server.Input.begin(),
                     Server.Input.begin() + static_cast<std::ptrdiff_t>(taken));
  return true;
}

void ReadClient(SocketHandle client, std::uint32_t connection) {
  const std::size_t old = Server.Input.size();
  Server.Input.resize(old + ReceiveChunk);
  const std::int32_t got = SocketPlatform.Receive(client, Server.Input.data() + old, ReceiveChunk);
  Server.Input.resize(old + static_cast<std::size_t>(std::max(got, 0)));
  if (got == SocketWouldBlock) return;
  if (got <= 0 || !FrameInput(connection)) CloseClient();
}

void Serve() {
  while (!Server.StopRequested.load(std::memory_order_acquire)) {
    SocketWait waits[2] = {{Server.Listener, true, false, false, false},
                           {NoSocket, false, false, false, false}};
    std::uint32_t connection = 0;
    bool drop = false;
    {
      const std::lock_guard lock(Server.Lock);
      waits[1] = {Server.Client,
                  Server.Items.size() < MaxQueuedCommands && Server.QueuedBytes < MaxQueuedBytes,
                  !Server.Output.empty(), false, false};
      connection = Server.Connection;
      drop = Server.DropClient;
    }
    const SocketHandle client = waits[1].Socket;
    if (client != NoSocket && drop) {
      CloseClient();
      continue;
    }
    const bool watchClient = client != NoSocket && (waits[1].WantRead || waits[1].WantWrite);
    SocketPlatform.Wait(waits, watchClient ? 2 : 1, WaitMilliseconds);
    if (waits[0].Readable) AcceptClients();
    if (!watchClient) continue;
    if (waits[1].Writable) {
      const std::lock_guard lock(Server.Lock);
      FlushLocked();
    }
    if (waits[1].Readable) ReadClient(client, connection);
  }
}

}  // namespace

std::string SplitMonitorAddress(const std::string& text, std::string& host, std::uint16_t& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) return "needs ADDRESS:PORT, not '" + text + "'";
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
    host = host.substr(1, host.size() - 2);
  const char* digits = text.data() + colon + 1;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(digits, end, port);
  if (host.empty()) return "needs an address before the port in '" + text + "'";
  if (digits == end || error != std::errc() || last != end) {
    return "needs a port from 0 to 65535 in '" + text + "'";
  }
  return "";
}

std::string StartRemoteMonitor(const std::string& address) {
  StopRemoteMonitor();
  std::string host;
  std::uint16_t port = 0;
  std::string error = SplitMonitorAddress(address, host, port);
  if (!error.empty()) return "the remote monitor " + error;
  if (SocketPlatform.Listen == nullptr)
    return "the remote monitor needs sockets, which this system lacks";
  Server.Listener = SocketPlatform.Listen(host, port, error);
  if (Server.Listener == NoSocket)
    return "the remote monitor cannot listen on " + address + ": " + error;
  Server.Port = SocketPlatform.LocalPort(Server.Listener);
  Server.StopRequested = false;
  Server.Input.clear();
  Server.Items.clear();
  Server.QueuedBytes = 0;
  Server.Output.clear();
  Server.Answering = 0;
  Server.Running = true;
  AttachRemoteProtocol(SendToClient, CarryOutCommands);
  Server.Thread = std::thread(Serve);
  return "";
}

void StopRemoteMonitor() {
  if (!Server.Running) return;
  Server.StopRequested.store(true, std::memory_order_release);
  Server.Thread.join();
  // The last replies (a quit's) go out before the connection closes.
  const auto deadline = std::chrono::steady_clock::now() + FinalFlushTime;
  for (;;) {
    {
      const std::lock_guard lock(Server.Lock);
      FlushLocked();
      if (Server.Output.empty() || Server.Client == NoSocket) break;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    SocketWait wait = {Server.Client, false, true, false, false};
    SocketPlatform.Wait(&wait, 1, WaitMilliseconds);
  }
  {
    const std::lock_guard lock(Server.Lock);
    if (Server.Client != NoSocket) SocketPlatform.Close(Server.Client);
    Server.Client = NoSocket;
    Server.Items.clear();
    Server.Output.clear();
  }
  SocketPlatform.Close(Server.Listener);
  Server.Listener = NoSocket;
  Server.Port = 0;
  Server.Running = false;
  DetachRemoteProtocol();
}

bool RemoteMonitorRunning() { return Server.Running; }

std::uint16_t RemoteMonitorPort() { return Server.Port.load(); }

}  // namespace quillon
