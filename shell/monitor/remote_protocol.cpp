#include "monitor/remote_protocol.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string>
#include <string_view>

#include "debug/frame_picture.h"
#include "keyboard/host_keys.h"
#include "keyboard/key_queue.h"
#include "keyboard/typed_text.h"
#include "monitor/labels.h"
#include "monitor/monitor.h"
#include "platform/messages.h"
#include "platform/platform.h"
#include "session/host_state.h"
#include "session/session.h"
#include "snapshot/snapshot.h"

namespace quillon {
namespace {

// Command types.
namespace type {
enum : std::uint8_t {
  MemoryGet = 0x01,
  MemorySet = 0x02,
  CheckpointGet = 0x11,
  CheckpointSet = 0x12,
  CheckpointDelete = 0x13,
  CheckpointList = 0x14,
  CheckpointToggle = 0x15,
  ConditionSet = 0x22,
  RegistersGet = 0x31,
  RegistersSet = 0x32,
  Dump = 0x41,
  Undump = 0x42,
  ResourceGet = 0x51,
  ResourceSet = 0x52,
  AdvanceInstructions = 0x71,
  KeyboardFeed = 0x72,
  ExecuteUntilReturn = 0x73,
  Ping = 0x81,
  BanksAvailable = 0x82,
  RegistersAvailable = 0x83,
  DisplayGet = 0x84,
  EmulatorInfo = 0x85,
  PaletteGet = 0x91,
  JoyportSet = 0xA2,
  UserportSet = 0xB2,
  Exit = 0xAA,
  Quit = 0xBB,
  Reset = 0xCC,
  Autostart = 0xDD,
};
}  // namespace type

// Reply and event types that are no command's own.
constexpr std::uint8_t ErrorReply = 0x00;
constexpr std::uint8_t CheckpointInfo = 0x11;
constexpr std::uint8_t RegisterInfo = 0x31;
constexpr std::uint8_t JamEvent = 0x61;
constexpr std::uint8_t StoppedEvent = 0x62;
constexpr std::uint8_t ResumedEvent = 0x63;

constexpr std::uint8_t EmulatorVersion[4] = {0, 98, 0, 0};

struct ProtocolState {
  RemoteSink Sink = nullptr;
  // What the command just answered sets going once its reply is out: a resume, a step.
  void (*After)() = nullptr;
  std::uint32_t StepCount = 0;
  bool StepOver = false;
};
ProtocolState Protocol;

void Put8(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value));
}

void Put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put8(out, value);
  Put8(out, value >> 8);
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  Put16(out, value);
  Put16(out, value >> 16);
}

std::uint32_t Word32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

void Send(std::uint8_t type, std::uint8_t error, std::uint32_t requestId,
          const std::vector<std::uint8_t>& body) {
  if (Protocol.Sink == nullptr) return;
  std::vector<std::uint8_t> message;
  AppendRemoteReply(message, type, error, requestId, body);
  Protocol.Sink(message.data(), message.size());
}

// The fields of a command's body, read in order. The handlers are given bodies at least as long
// as their fixed fields; what follows those is checked as it is read.
class BodyReader {
 public:
  explicit BodyReader(const std::vector<std::uint8_t>& body) : Body(body) {}
  bool Has(std::size_t count) const { return Body.size() - Position >= count; }
  std::uint8_t U8() { return Body[Position++]; }
  std::uint16_t U16() {
    const std::uint8_t low = U8();
    return static_cast<std::uint16_t>(low | U8() << 8);
  }
  std::uint32_t U32() {
    const std::uint16_t low = U16();
    return low | std::uint32_t{U16()} << 16;
  }
  void Skip(std::size_t count) { Position += count; }
  // A length byte and that many bytes of text; false when the body ends first.
  bool Text(std::string& text) {
    if (!Has(1)) return false;
    const std::size_t length = U8();
    if (!Has(length)) return false;
    text.assign(reinterpret_cast<const char*>(Body.data()) + Position, length);
    Position += length;
    return true;
  }

 private:
  const std::vector<std::uint8_t>& Body;
  std::size_t Position = 0;
};

// --- Shared bodies ---

// The six registers, by id: A, X, Y, PC, SP and FL, the status register.
struct RegisterName {
  const char* Name;
  std::uint8_t Bits;
};
constexpr RegisterName RegisterNames[] = {{"A", 8},   {"X", 8},  {"Y", 8},
                                          {"PC", 16}, {"SP", 8}, {"FL", 8}};

std::uint16_t RegisterValue(const CpuRegisterFile& r, std::uint8_t id) {
  switch (id) {
    case 0:
      return r.A;
    case 1:
      return r.X;
    case 2:
      return r.Y;
    case 3:
      return r.PC;
    case 4:
      return r.SP;
    default:
      return r.P;
  }
}

void SetRegister(CpuRegisterFile& r, std::uint8_t id, std::uint16_t value) {
  const auto byte = static_cast<std::uint8_t>(value);
  switch (id) {
    case 0:
      r.A = byte;
      break;
    case 1:
      r.X = byte;
      break;
    case 2:
      r.Y = byte;
      break;
    case 3:
      r.PC = value;
      break;
    case 4:
      r.SP = byte;
      break;
    default:
      r.P = byte;
      break;
  }
}

std::vector<std::uint8_t> RegisterInfoBody() {
  const CpuRegisterFile r = CurrentMachine().Registers();
  std::vector<std::uint8_t> body;
  Put16(body, std::size(RegisterNames));
  for (std::uint8_t id = 0; id < std::size(RegisterNames); ++id) {
    Put8(body, 3);
    Put8(body, id);
    Put16(body, RegisterValue(r, id));
  }
  return body;
}

std::vector<std::uint8_t> CheckpointInfoBody(const Checkpoint& c) {
  std::vector<std::uint8_t> body;
  Put32(body, c.Number);
  Put8(body, c.CurrentlyHit);
  Put16(body, c.Start);
  Put16(body, c.End);
  Put8(body, c.Stop);
  Put8(body, c.Enabled);
  Put8(body, c.Operations);
  Put8(body, c.Temporary);
  Put32(body, c.HitCount);
  Put32(body, c.IgnoreCount);
  Put8(body, c.HasCondition);
  Put8(body, 0);  // the main computer's memspace
  return body;
}

// --- The commands ---

using Handler = std::uint8_t (*)(const RemoteCommand& command, std::vector<std::uint8_t>& reply);

// The memory commands' common fields: side effects, start, end, memspace and bank.
struct MemoryRange {
  bool SideEffects;
  std::uint16_t Start;
  std::uint16_t End;
  MemoryBank Bank;
};

std::uint8_t ReadMemoryRange(BodyReader& in, MemoryRange& range) {
  range.SideEffects = in.U8() != 0;
  range.Start = in.U16();
  range.End = in.U16();
  const std::uint8_t memspace = in.U8();
  const std::uint16_t bank = in.U16();
  if (memspace != 0) return RemoteBadMemspace;
  if (bank >= std::size(MonitorBanks) || range.End < range.Start) return RemoteBadParameter;
  range.Bank = MonitorBanks[bank].Bank;
  return RemoteOk;
}

std::uint8_t DoMemoryGet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  BodyReader in(command.Body);
  MemoryRange range{};
  if (const std::uint8_t error = ReadMemoryRange(in, range)) return error;
  Machine& machine = CurrentMachine();
  // All 64 KB do not fit the count: it says 0, and the body's length says the rest.
  Put16(reply, range.End - range.Start + 1u);
  for (unsigned address = range.Start; address <= range.End; ++address) {
    Put8(reply,
         machine.ReadMemory(range.Bank, static_cast<std::uint16_t>(address), range.SideEffects));
  }
  return RemoteOk;
}

std::uint8_t DoMemorySet(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  MemoryRange range{};
  if (const std::uint8_t error = ReadMemoryRange(in, range)) return error;
  if (command.Body.size() - 8 != range.End - range.Start + 1u) return RemoteBadLength;
  Machine& machine = CurrentMachine();
  for (unsigned address = range.Start; address <= range.End; ++address) {
    machine.WriteMemory(range.Bank, static_cast<std::uint16_t>(address), in.U8(),
                        range.SideEffects);
  }
  return RemoteOk;
}

std::uint8_t DoCheckpointGet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  const Checkpoint* c = FindCheckpoint(BodyReader(command.Body).U32());
  if (c == nullptr) return RemoteNoSuchObject;
  reply = CheckpointInfoBody(*c);
  return RemoteOk;
}

std::uint8_t DoCheckpointSet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  BodyReader in(command.Body);
  const std::uint16_t start = in.U16();
  const std::uint16_t end = in.U16();
  const bool stop = in.U8() != 0;
  const bool enabled = in.U8() != 0;
  const std::uint8_t operations = in.U8();
  const bool temporary = in.U8() != 0;
  // Older clients send no memspace: the main computer's.
  const std::uint8_t memspace = in.Has(1) ? in.U8() : 0;
  if (memspace != 0) return RemoteBadMemspace;
  if (operations == 0 || operations > (CheckLoad | CheckStore | CheckExec) || end < start) {
    return RemoteBadParameter;
  }
  reply = CheckpointInfoBody(
      AddCheckpoint(start, end, operations, stop, enabled, temporary, MonitorClient::Remote));
  return RemoteOk;
}

std::uint8_t DoCheckpointDelete(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  return DeleteCheckpoint(BodyReader(command.Body).U32()) ? RemoteOk : RemoteNoSuchObject;
}

std::uint8_t DoCheckpointList(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  const std::vector<Checkpoint>& list = quillon::CheckpointList();
  for (const Checkpoint& c : list)
    Send(CheckpointInfo, RemoteOk, command.RequestId, CheckpointInfoBody(c));
  Put32(reply, static_cast<std::uint32_t>(list.size()));
  return RemoteOk;
}

std::uint8_t DoCheckpointToggle(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  Checkpoint* c = FindCheckpoint(in.U32());
  if (c == nullptr) return RemoteNoSuchObject;
  c->Enabled = in.U8() != 0;
  CheckpointsChanged();
  return RemoteOk;
}

std::uint8_t DoConditionSet(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  Checkpoint* c = FindCheckpoint(in.U32());
  std::string text;
  if (!in.Text(text)) return RemoteBadLength;
  if (c == nullptr) return RemoteNoSuchObject;
  if (!CompileCondition(text, FindLabel, c->Test).empty()) return RemoteBadParameter;
  c->HasCondition = true;
  c->ConditionText = text;
  return RemoteOk;
}

std::uint8_t DoRegistersGet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  if (command.Body[0] != 0) return RemoteBadMemspace;
  reply = RegisterInfoBody();
  return RemoteOk;
}

std::uint8_t DoRegistersSet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  BodyReader in(command.Body);
  if (in.U8() != 0) return RemoteBadMemspace;
  const std::uint16_t count = in.U16();
  CpuRegisterFile registers = CurrentMachine().Registers();
  // Every item is read and checked before any register changes. Longer items than this one's
  // are stepped over by their size byte.
  for (std::uint16_t i = 0; i < count; ++i) {
    if (!in.Has(1)) return RemoteBadLength;
    const std::uint8_t size = in.U8();
    if (size < 3 || !in.Has(size)) return RemoteBadLength;
    const std::uint8_t id = in.U8();
    const std::uint16_t value = in.U16();
    in.Skip(size - 3u);
    if (id >= std::size(RegisterNames)) return RemoteNoSuchObject;
    SetRegister(registers, id, value);
  }
  CurrentMachine().SetRegisters(registers);
  reply = RegisterInfoBody();
  return RemoteOk;
}

std::uint8_t DoDump(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  // The snapshot always holds what the machine needs: the ROMs are built in, and the disk
  // image stays the user's file.
  BodyReader in(command.Body);
  in.Skip(2);
  std::string path;
  if (!in.Text(path)) return RemoteBadLength;
  return SnapshotSaveFile(path).empty() ? RemoteOk : RemoteFailed;
}

std::uint8_t DoUndump(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  BodyReader in(command.Body);
  std::string path;
  if (!in.Text(path)) return RemoteBadLength;
  if (!SnapshotLoadFile(path).empty()) return RemoteFailed;
  // A snapshot taken at a frame's end may stand inside an instruction; the monitor shows the
  // machine between two.
  Machine& machine = CurrentMachine();
  machine.FinishInstruction();
  Put16(reply, machine.Registers().PC);
  return RemoteOk;
}

// The resources are the settings of the menu, and change as its commands change them.
struct Resource {
  const char* Name;
  bool Integer;
  std::int32_t (*Value)();
  // The menu command that sets `value`: NotAValue when the resource has no such value,
  // AlreadySet when it is set so already.
  std::uint32_t (*CommandFor)(std::int32_t value);
};
constexpr std::uint32_t NotAValue = 0;
constexpr std::uint32_t AlreadySet = ~0u;

// An on-or-off setting that its menu item switches.
std::uint32_t Switch(bool now, std::int32_t value, std::uint32_t command) {
  if (value != 0 && value != 1) return NotAValue;
  return now == (value == 1) ? AlreadySet : command;
}

constexpr Resource Resources[] = {
    {"Sound", true, [] { return std::int32_t{Host.SoundOn != 0}; },
     [](std::int32_t v) { return Switch(Host.SoundOn != 0, v, CommandSound); }},
    {"Warp", true, [] { return std::int32_t{Host.Warp != 0}; },
     [](std::int32_t v) { return Switch(Host.Warp != 0, v, CommandWarp); }},
    // 1 PAL, 0 NTSC; given and sent as the text "PAL" or "NTSC".
    {"VideoStandard", false, [] { return std::int32_t{CurrentMachine().Pal()}; },
     [](std::int32_t v) { return Switch(CurrentMachine().Pal(), v, CommandPal); }},
    {"JoystickPort", true, [] { return std::int32_t{JoystickPort}; },
     [](std::int32_t v) {
       return v == 1 ? CommandJoystickPort1 : v == 2 ? CommandJoystickPort2 : NotAValue;
     }},
};

const Resource* FindResource(const std::string& name) {
  for (const Resource& r : Resources) {
    if (name.size() == std::string_view(r.Name).size() &&
        std::equal(name.begin(), name.end(), r.Name, [](char a, char b) {
          return std::tolower(static_cast<unsigned char>(a)) ==
                 std::tolower(static_cast<unsigned char>(b));
        })) {
      return &r;
    }
  }
  return nullptr;
}

std::uint8_t DoResourceGet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  BodyReader in(command.Body);
  std::string name;
  if (!in.Text(name)) return RemoteBadLength;
  const Resource* resource = FindResource(name);
  if (resource == nullptr) return RemoteNoSuchObject;
  const std::int32_t value = resource->Value();
  Put8(reply, resource->Integer ? 1 : 0);
  if (resource->Integer) {
    Put8(reply, 4);
    Put32(reply, static_cast<std::uint32_t>(value));
  } else {
    const std::string text = value ? "PAL" : "NTSC";
    Put8(reply, text.size());
    reply.insert(reply.end(), text.begin(), text.end());
  }
  return RemoteOk;
}

// A resource's value as sent: an integer of up to four bytes, or text, which an integer
// resource reads as a decimal number.
bool ResourceValue(const Resource& resource, std::uint8_t type, const std::string& value,
                   std::int32_t& number) {
  if (type == 1) {
    if (value.empty() || value.size() > 4) return false;
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < value.size(); ++i)
      bits |= std::uint32_t{static_cast<std::uint8_t>(value[i])} << 8 * i;
    number = static_cast<std::int32_t>(bits);
    return resource.Integer;
  }
  if (!resource.Integer) {
    const std::string upper = [&value] {
      std::string text = value;
      for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return text;
    }();
    if (upper != "PAL" && upper != "NTSC") return false;
    number = upper == "PAL" ? 1 : 0;
    return true;
  }
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
  return error == std::errc() && end == value.data() + value.size();
}

std::uint8_t DoResourceSet(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  const std::uint8_t type = in.U8();
  std::string name;
  std::string value;
  if (!in.Text(name) || !in.Text(value)) return RemoteBadLength;
  const Resource* resource = FindResource(name);
  if (resource == nullptr) return RemoteNoSuchObject;
  std::int32_t number = 0;
  if (type > 1 || !ResourceValue(*resource, type, value, number)) return RemoteBadParameter;
  const std::uint32_t menuCommand = resource->CommandFor(number);
  if (menuCommand == NotAValue) return RemoteBadParameter;
  if (menuCommand == AlreadySet) return RemoteOk;
  // As the menu item does it, check mark included.
  if (MainWindowProcedure == nullptr) return RemoteFailed;
  MainWindowProcedure(nullptr, MessageCommand, menuCommand, 0);
  return RemoteOk;
}

std::uint8_t DoAdvanceInstructions(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  Protocol.StepOver = in.U8() != 0;
  Protocol.StepCount = in.U16();
  Protocol.After = [] { MonitorStep(Protocol.StepCount, Protocol.StepOver); };
  return RemoteOk;
}

std::uint8_t DoKeyboardFeed(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  std::string text;
  if (!in.Text(text)) return RemoteBadLength;
  std::vector<TypedKey> keys;
  if (!PetsciiKeys(text, keys)) return RemoteBadParameter;
  KeyQueueType(keys, false);
  return RemoteOk;
}

std::uint8_t DoExecuteUntilReturn(const RemoteCommand&, std::vector<std::uint8_t>&) {
  Protocol.After = MonitorRunUntilReturn;
  return RemoteOk;
}

std::uint8_t DoPing(const RemoteCommand&, std::vector<std::uint8_t>&) { return RemoteOk; }

std::uint8_t DoBanksAvailable(const RemoteCommand&, std::vector<std::uint8_t>& reply) {
  Put16(reply, std::size(MonitorBanks));
  for (std::uint16_t id = 0; id < std::size(MonitorBanks); ++id) {
    const std::string_view name = MonitorBanks[id].Name;
    Put8(reply, 3 + name.size());
    Put16(reply, id);
    Put8(reply, name.size());
    reply.insert(reply.end(), name.begin(), name.end());
  }
  return RemoteOk;
}

std::uint8_t DoRegistersAvailable(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  if (command.Body[0] != 0) return RemoteBadMemspace;
  Put16(reply, std::size(RegisterNames));
  for (std::uint8_t id = 0; id < std::size(RegisterNames); ++id) {
    const std::string_view name = RegisterNames[id].Name;
    Put8(reply, 3 + name.size());
    Put8(reply, id);
    Put8(reply, RegisterNames[id].Bits);
    Put8(reply, name.size());
    reply.insert(reply.end(), name.begin(), name.end());
  }
  return RemoteOk;
}

// The whole picture, border included, as colour numbers: the palette turns them into colours.
std::uint8_t DoDisplayGet(const RemoteCommand& command, std::vector<std::uint8_t>& reply) {
  constexpr std::uint32_t FieldsBeforePixels = 17;
  if (command.Body[1] != 0) return RemoteBadParameter;
  const std::uint32_t size = BorderedWidth * BorderedHeight;
  Put32(reply, FieldsBeforePixels);
  Put16(reply, BorderedWidth);
  Put16(reply, BorderedHeight);
  Put16(reply, BorderSize);
  Put16(reply, BorderSize);
  Put16(reply, PictureWidth);
  Put16(reply, PictureHeight);
  Put8(reply, 8);
  Put32(reply, size);
  const std::size_t pixels = reply.size();
  reply.resize(pixels + size);
  BorderedFrame(CurrentMachine(), reply.data() + pixels);
  return RemoteOk;
}

std::uint8_t DoEmulatorInfo(const RemoteCommand&, std::vector<std::uint8_t>& reply) {
  Put8(reply, 4);
  reply.insert(reply.end(), std::begin(EmulatorVersion), std::end(EmulatorVersion));
  Put8(reply, 4);
  Put32(reply, 0);  // no source-control revision is built in
  return RemoteOk;
}

std::uint8_t DoPaletteGet(const RemoteCommand&, std::vector<std::uint8_t>& reply) {
  Put16(reply, std::size(Palette));
  for (const std::uint32_t colour : Palette) {
    Put8(reply, 3);
    Put8(reply, colour >> 16);
    Put8(reply, colour >> 8);
    Put8(reply, colour);
  }
  return RemoteOk;
}

// Ports 1 and 2 as printed on the case; bits 0-4 up, down, left, right, fire, 1 = pushed.
std::uint8_t DoJoyportSet(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  const std::uint16_t port = in.U16();
  const std::uint16_t value = in.U16();
  if (port != 1 && port != 2) return RemoteBadParameter;
  MonitorJoystick[port - 1] = value & 0x1F;
  FollowHostKeys();
  return RemoteOk;
}

std::uint8_t DoUserportSet(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  CurrentMachine().SetUserPortLines(static_cast<std::uint8_t>(BodyReader(command.Body).U16()));
  return RemoteOk;
}

std::uint8_t DoExit(const RemoteCommand&, std::vector<std::uint8_t>&) {
  Protocol.After = MonitorResume;
  return RemoteOk;
}

std::uint8_t DoQuit(const RemoteCommand&, std::vector<std::uint8_t>&) {
  // As File > Exit: the run ends once the reply is out.
  Protocol.After = [] { Platform.DestroyMainWindow(); };
  return RemoteOk;
}

// The machine's reset is a hard one whichever is asked for; drive 8 has no processor to reset.
std::uint8_t DoReset(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  const std::uint8_t mode = command.Body[0];
  if (mode == 0 || mode == 1) {
    MonitorResetMachine();
    return RemoteOk;
  }
  return mode >= 8 && mode <= 11 ? RemoteOk : RemoteBadParameter;
}

// The file starts as the command line starts one, so the machine runs on.
std::uint8_t DoAutostart(const RemoteCommand& command, std::vector<std::uint8_t>&) {
  BodyReader in(command.Body);
  const bool run = in.U8() != 0;
  const std::uint16_t index = in.U16();
  std::string path;
  if (!in.Text(path)) return RemoteBadLength;
  // A disk image starts its first file, the one LOAD"*",8 loads.
  if (index > 1) return RemoteBadParameter;
  if (MonitorStartFile == nullptr || !MonitorStartFile(path, run).empty()) return RemoteFailed;
  Protocol.After = MonitorResume;
  return RemoteOk;
}

struct CommandEntry {
  std::uint8_t Type;
  std::uint8_t MinimumBody;  // the fixed fields
  std::uint8_t ReplyType;
  Handler Run;
};

constexpr CommandEntry Commands[] = {
    {type::MemoryGet, 8, type::MemoryGet, DoMemoryGet},
    {type::MemorySet, 8, type::MemorySet, DoMemorySet},
    {type::CheckpointGet, 4, CheckpointInfo, DoCheckpointGet},
    {type::CheckpointSet, 8, CheckpointInfo, DoCheckpointSet},
    {type::CheckpointDelete, 4, type::CheckpointDelete, DoCheckpointDelete},
    {type::CheckpointList, 0, type::CheckpointList, DoCheckpointList},
    {type::CheckpointToggle, 5, type::CheckpointToggle, DoCheckpointToggle},
    {type::ConditionSet, 4, type::ConditionSet, DoConditionSet},
    {type::RegistersGet, 1, RegisterInfo, DoRegistersGet},
    {type::RegistersSet, 3, RegisterInfo, DoRegistersSet},
    {type::Dump, 2, type::Dump, DoDump},
    {type::Undump, 0, type::Undump, DoUndump},
    {type::ResourceGet, 0, type::ResourceGet, DoResourceGet},
    {type::ResourceSet, 1, type::ResourceSet, DoResourceSet},
    {type::AdvanceInstructions, 3, type::AdvanceInstructions, DoAdvanceInstructions},
    {type::KeyboardFeed, 0, type::KeyboardFeed, DoKeyboardFeed},
    {type::ExecuteUntilReturn, 0, type::ExecuteUntilReturn, DoExecuteUntilReturn},
    {type::Ping, 0, type::Ping, DoPing},
    {type::BanksAvailable, 0, type::BanksAvailable, DoBanksAvailable},
    {type::RegistersAvailable, 1, type::RegistersAvailable, DoRegistersAvailable},
    {type::DisplayGet, 2, type::DisplayGet, DoDisplayGet},
    {type::EmulatorInfo, 0, type::EmulatorInfo, DoEmulatorInfo},
    {type::PaletteGet, 1, type::PaletteGet, DoPaletteGet},
    {type::JoyportSet, 4, type::JoyportSet, DoJoyportSet},
    {type::UserportSet, 2, type::UserportSet, DoUserportSet},
    {type::Exit, 0, type::Exit, DoExit},
    {type::Quit, 0, type::Quit, DoQuit},
    {type::Reset, 1, type::Reset, DoReset},
    {type::Autostart, 3, type::Autostart, DoAutostart},
};

// The joysticks and the user port as a client leaves them: let go, as if unplugged.
void ReleaseClientLines() {
  MonitorJoystick[0] = MonitorJoystick[1] = 0;
  FollowHostKeys();
  CurrentMachine().SetUserPortLines(0xFF);
}

// --- Events ---

void OnStopped(const MonitorStop& stop) {
  std::vector<std::uint8_t> pc;
  Put16(pc, stop.PC);
  for (int i = 0; i < stop.Hits.Count; ++i) {
    if (const Checkpoint* c = FindCheckpoint(stop.Hits.Numbers[i])) {
      Send(CheckpointInfo, RemoteOk, RemoteEventId, CheckpointInfoBody(*c));
    }
  }
  if (stop.Why == MonitorStop::Cause::Jam) Send(JamEvent, RemoteOk, RemoteEventId, pc);
  Send(RegisterInfo, RemoteOk, RemoteEventId, RegisterInfoBody());
  Send(StoppedEvent, RemoteOk, RemoteEventId, pc);
}

void OnResumed(std::uint16_t pc) {
  std::vector<std::uint8_t> body;
  Put16(body, pc);
  Send(ResumedEvent, RemoteOk, RemoteEventId, body);
}

}  // namespace

RemoteFrame ReadRemoteCommand(const std::uint8_t* bytes, std::size_t size, std::size_t& used,
                              RemoteCommand& command) {
  const std::uint8_t* stx = std::find(bytes, bytes + size, RemoteStx);
  used = static_cast<std::size_t>(stx - bytes);
  const std::size_t left = size - used;
  if (left < RemoteCommandHeaderSize) return RemoteFrame::Incomplete;
  const std::uint32_t length = Word32(stx + 2);
  if (length > RemoteMaxBodySize) return RemoteFrame::TooLong;
  if (left - RemoteCommandHeaderSize < length) return RemoteFrame::Incomplete;
  command.Api = stx[1];
  command.RequestId = Word32(stx + 6);
  command.Type = stx[10];
  command.Body.assign(stx + RemoteCommandHeaderSize, stx + RemoteCommandHeaderSize + length);
  used += RemoteCommandHeaderSize + length;
  return RemoteFrame::Command;
}

void AppendRemoteReply(std::vector<std::uint8_t>& out, std::uint8_t type, std::uint8_t error,
                       std::uint32_t requestId, const std::vector<std::uint8_t>& body) {
  Put8(out, RemoteStx);
  Put8(out, RemoteApiVersion);
  Put32(out, static_cast<std::uint32_t>(body.size()));
  Put8(out, type);
  Put8(out, error);
  Put32(out, requestId);
  out.insert(out.end(), body.begin(), body.end());
}

void AttachRemoteProtocol(RemoteSink sink, void (*poll)()) {
  Protocol.Sink = sink;
  AttachMonitorFrontEnd(MonitorClient::Remote, {OnStopped, OnResumed, poll});
}

void DetachRemoteProtocol() {
  DetachMonitorFrontEnd(MonitorClient::Remote);
  ReleaseClientLines();
  Protocol.Sink = nullptr;
}

void HandleRemoteCommand(const RemoteCommand& command) {
  // Versions 1 and 2 lay their commands out alike; 2 only adds fields at the ends.
  if (command.Api != 1 && command.Api != RemoteApiVersion) {
    Send(ErrorReply, RemoteBadVersion, command.RequestId, {});
    return;
  }
  const CommandEntry* entry =
      std::find_if(std::begin(Commands), std::end(Commands),
                   [&command](const CommandEntry& e) { return e.Type == command.Type; });
  if (entry == std::end(Commands)) {
    Send(ErrorReply, RemoteBadCommand, command.RequestId, {});
    return;
  }
  MonitorHold();
  if (command.Body.size() < entry->MinimumBody) {
    Send(ErrorReply, RemoteBadLength, command.RequestId, {});
    return;
  }
  std::vector<std::uint8_t> reply;
  Protocol.After = nullptr;
  const std::uint8_t error = entry->Run(command, reply);
  if (error != RemoteOk) {
    Send(ErrorReply, error, command.RequestId, {});
    return;
  }
  Send(entry->ReplyType, RemoteOk, command.RequestId, reply);
  if (Protocol.After != nullptr) Protocol.After();
}

void RemoteClientLeft() {
  DeleteCheckpointsOf(MonitorClient::Remote);
  ReleaseClientLines();
  if (MonitorHolds()) MonitorResume();
}

}  // namespace quillon
