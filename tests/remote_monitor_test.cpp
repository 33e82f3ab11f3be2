// The remote monitor as a client sees it: a headless run serving on a loopback port, and a
// client over a real socket. Commands stop the running machine first; checkpoints, steps and
// watchpoints in a program of the tests' own stop it with their events; memory, registers,
// the keyboard, the display, snapshots and the start of a program work through the protocol;
// and nothing a client sends or fails to read can crash or stall the emulator.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "backends/headless/headless_backend.h"
#include "backends/posix/posix_sockets.h"
#include "monitor/monitor.h"
#include "monitor/remote_server.h"
#include "platform/messages.h"
#include "window/main_loop.h"
#include "window/settings.h"
#include "window/window_proc.h"
#include "support/files.h"
#include "support/machine.h"
#include "support/monitor_client.h"

namespace quillon {
namespace {

using test::Body;
using test::EventId;
using test::MonitorMessage;
using test::Word16;
using test::Word32;

// Command and reply types.
enum : std::uint8_t {
  MemoryGet = 0x01,
  MemorySet = 0x02,
  CheckpointInfo = 0x11,
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
  Advance = 0x71,
  KeyboardFeed = 0x72,
  UntilReturn = 0x73,
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
  ErrorReply = 0x00,
  Stopped = 0x62,
  Resumed = 0x63,
};
constexpr std::uint8_t Load = 1;
constexpr std::uint8_t Store = 2;
constexpr std::uint8_t Exec = 4;

// At $C000, interrupts masked by the tests:
//   C000 LDX #$00 / C002 JSR $C010 / C005 INX / C006 STX $D020 / C009 JMP $C002
//   C010 LDY #$03 / C012 DEY / C013 BNE $C012 / C015 RTS
const std::vector<std::uint8_t> Program = {0xA2, 0x00, 0x20, 0x10, 0xC0, 0xE8, 0x8E, 0x20,
                                           0xD0, 0x4C, 0x02, 0xC0, 0x00, 0x00, 0x00, 0x00,
                                           0xA0, 0x03, 0x88, 0xD0, 0xFD, 0x60};

std::map<std::uint8_t, std::uint16_t> Registers(const MonitorMessage& info) {
  std::map<std::uint8_t, std::uint16_t> registers;
  for (std::size_t i = 0, n = Word16(info.Body, 0); i < n; ++i) {
    EXPECT_EQ(info.Body.at(2 + 4 * i), 3) << "item size";
    registers[info.Body.at(3 + 4 * i)] = Word16(info.Body, 4 + 4 * i);
  }
  return registers;
}

constexpr std::uint8_t A = 0, X = 1, Y = 2, PC = 3, SP = 4, FL = 5;

Body MemoryRange(std::uint16_t start, std::uint16_t end, bool sideEffects = false,
                 std::uint16_t bank = 0) {
  return std::move(Body().U8(sideEffects).U16(start).U16(end).U8(0).U16(bank));
}

Body Checkpoint(std::uint16_t start, std::uint16_t end, std::uint8_t operation,
                bool temporary = false) {
  return std::move(Body().U16(start).U16(end).U8(1).U8(1).U8(operation).U8(temporary).U8(0));
}

class RemoteMonitor : public testing::Test {
 protected:
  void SetUp() override {
    UsePosixSockets();
    test::PowerOnMachine();
  }

  void TearDown() override {
    if (!Emulation.joinable()) return;
    // A test that failed half-way still ends its run.
    HeadlessStopSignal = SIGINT;
    Emulation.join();
    HeadlessStopSignal = 0;
  }

  void Start(CommandLineOptions options = {}) {
    options.Headless = true;
    options.RemoteMonitor = "127.0.0.1:0";
    Emulation = std::thread([this, options] { Result = RunHeadless(options); });
    for (int i = 0; i < 2000 && RemoteMonitorPort() == 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_NE(RemoteMonitorPort(), 0) << "the server listens";
    ASSERT_TRUE(Client.Connect(RemoteMonitorPort()));
  }

  // Quits, as a client ends the emulator, and waits for the run's end.
  void Quit() {
    const MonitorMessage reply = Client.Call(quillon::Quit);
    EXPECT_EQ(reply.Type, quillon::Quit);
    Emulation.join();
    EXPECT_EQ(Result.ExitCode, 0);
  }

  // The machine stopped at the start of the tests' program, interrupts masked.
  void StartProgram() {
    Body code = MemoryRange(0xC000, static_cast<std::uint16_t>(0xC000 + Program.size() - 1));
    code.Bytes.insert(code.Bytes.end(), Program.begin(), Program.end());
    ASSERT_EQ(Client.Call(MemorySet, code).Error, 0);
    SetRegisters({{PC, 0xC000}, {FL, 0x24}});
    Client.Events.clear();
  }

  MonitorMessage SetRegisters(
      std::initializer_list<std::pair<std::uint8_t, std::uint16_t>> values) {
    Body body;
    body.U8(0).U16(static_cast<std::uint32_t>(values.size()));
    for (const auto& [id, value] : values) body.U8(3).U8(id).U16(value);
    return Client.Call(RegistersSet, body);
  }

  std::map<std::uint8_t, std::uint16_t> CurrentRegisters() {
    return Registers(Client.Call(RegistersGet, Body().U8(0)));
  }

  std::vector<std::uint8_t> Memory(std::uint16_t start, std::uint16_t end, bool sideEffects = false,
                                   std::uint16_t bank = 0) {
    const MonitorMessage reply = Client.Call(MemoryGet, MemoryRange(start, end, sideEffects, bank));
    EXPECT_EQ(reply.Type, MemoryGet);
    return std::vector<std::uint8_t>(reply.Body.begin() + 2, reply.Body.end());
  }

  // Lets the machine run until it stops; returns the program counter of the stopped event.
  std::uint16_t RunUntilStopped() {
    EXPECT_EQ(Client.Call(Exit).Type, Exit);
    return Word16(Client.WaitForStop().Body, 0);
  }

  // Runs the machine until BASIC waits at its prompt.
  void BootToBasic() {
    ASSERT_EQ(Client.Call(CheckpointSet, Checkpoint(0xE5CD, 0xE5CD, Exec, true)).Type,
              CheckpointInfo);
    ASSERT_EQ(RunUntilStopped(), 0xE5CD);
    Client.Events.clear();
  }

  std::thread Emulation;
  HeadlessRunResult Result{};
  test::MonitorClient Client;
};

TEST_F(RemoteMonitor, APingStopsTheRunningMachineWhichStaysStoppedUntilExit) {
  Start();
  const MonitorMessage first = Client.Call(Ping);
  EXPECT_EQ(first.Type, Ping);
  EXPECT_EQ(first.Error, 0);
  // The stop comes first: the registers, then the stopped event, both as events.
  ASSERT_EQ(Client.Events.size(), 2u);
  EXPECT_EQ(Client.Events[0].Type, RegistersGet);
  EXPECT_EQ(Client.Events[0].Id, EventId);
  EXPECT_EQ(Client.Events[1].Type, Stopped);
  EXPECT_EQ(Word16(Client.Events[1].Body, 0), Registers(Client.Events[0])[PC]);
  Client.Events.clear();
  EXPECT_EQ(Client.Call(Ping).Type, Ping);
  EXPECT_TRUE(Client.Events.empty()) << "stopped already";
  const std::uint16_t pc = CurrentRegisters()[PC];
  EXPECT_EQ(CurrentRegisters()[PC], pc) << "nothing runs while stopped";
  EXPECT_EQ(Client.Call(Exit).Type, Exit);
  MonitorMessage resumed{};
  ASSERT_TRUE(Client.Read(resumed));
  EXPECT_EQ(resumed.Type, Resumed);
  EXPECT_EQ(Word16(resumed.Body, 0), pc);
  Quit();
}

TEST_F(RemoteMonitor, RegistersAndBanksAreReadAndWritten) {
  Start();
  const MonitorMessage available = Client.Call(RegistersAvailable, Body().U8(0));
  ASSERT_EQ(Word16(available.Body, 0), 6);
  std::vector<std::string> names;
  for (std::size_t at = 2; at < available.Body.size(); at += available.Body[at] + 1u) {
    names.emplace_back(available.Body.begin() + at + 4,
                       available.Body.begin() + at + 4 + available.Body[at + 3]);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"A", "X", "Y", "PC", "SP", "FL"}));

  const MonitorMessage set =
      SetRegisters({{A, 0x12}, {X, 0x34}, {Y, 0x56}, {PC, 0xC123}, {SP, 0xF0}, {FL, 0x24}});
  EXPECT_EQ(set.Type, RegistersGet) << "answered as register info";
  const std::map<std::uint8_t, std::uint16_t> expected = {{A, 0x12},    {X, 0x34},  {Y, 0x56},
                                                          {PC, 0xC123}, {SP, 0xF0}, {FL, 0x24}};
  EXPECT_EQ(Registers(set), expected);
  EXPECT_EQ(CurrentRegisters(), expected);
  EXPECT_EQ(SetRegisters({{9, 1}}).Error, 0x01) << "no register 9";

  // The banks: RAM under BASIC, the processor's view, ROM and I/O.
  const MonitorMessage banks = Client.Call(BanksAvailable);
  EXPECT_EQ(Word16(banks.Body, 0), 4);
  ASSERT_EQ(Client.Call(MemorySet, MemoryRange(0xA000, 0xA000, false, 1).Raw({0x11})).Error, 0);
  EXPECT_EQ(Memory(0xA000, 0xA000, false, 0), std::vector<std::uint8_t>{0x94});
  EXPECT_EQ(Memory(0xA000, 0xA000, false, 1), std::vector<std::uint8_t>{0x11});
  EXPECT_EQ(Memory(0xA000, 0xA000, false, 2), std::vector<std::uint8_t>{0x94});
  ASSERT_EQ(Client.Call(MemorySet, MemoryRange(0xD020, 0xD020, true).Raw({0x02})).Error, 0);
  EXPECT_EQ(Memory(0xD020, 0xD020, false, 3), std::vector<std::uint8_t>{0xF2}) << "the border";
  EXPECT_EQ(Memory(0xD020, 0xD020, false, 1) != std::vector<std::uint8_t>{0x02}, true)
      << "the RAM beneath is not the chip";
  // All 64 KB: the count does not fit and says 0.
  const MonitorMessage all = Client.Call(MemoryGet, MemoryRange(0x0000, 0xFFFF));
  EXPECT_EQ(Word16(all.Body, 0), 0);
  EXPECT_EQ(all.Body.size(), 2u + 65536);
  Quit();
}

// CIA 1's interrupt flags, raised by timer A with its interrupt masked: a read without side
// effects leaves them, the processor's read clears them.
TEST_F(RemoteMonitor, ReadingWithSideEffectsAcknowledgesTheInterruptFlags) {
  Start();
  BootToBasic();
  ASSERT_EQ(Client.Call(MemorySet, MemoryRange(0xDC0D, 0xDC0D, true).Raw({0x7F})).Error, 0);
  ASSERT_EQ(Client.Call(Exit).Type, Exit);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  Client.Call(Ping);
  const std::uint8_t flags = Memory(0xDC0D, 0xDC0D)[0];
  EXPECT_EQ(flags & 0x01, 0x01) << "timer A underflowed";
  EXPECT_EQ(Memory(0xDC0D, 0xDC0D)[0], flags) << "looking changes nothing";
  EXPECT_EQ(Memory(0xDC0D, 0xDC0D, true)[0], flags);
  EXPECT_EQ(Memory(0xDC0D, 0xDC0D)[0] & 0x01, 0) << "the processor's read acknowledged";
  Quit();
}

TEST_F(RemoteMonitor, AnExecutionCheckpointStopsTheProgramWithItsEvents) {
  Start();
  Client.Call(Ping);
  StartProgram();
  const MonitorMessage set = Client.Call(CheckpointSet, Checkpoint(0xC005, 0xC005, Exec));
  ASSERT_EQ(set.Type, CheckpointInfo);
  ASSERT_EQ(set.Body.size(), 23u);
  const std::uint32_t number = Word32(set.Body, 0);
  EXPECT_EQ(Word16(set.Body, 5), 0xC005);
  EXPECT_EQ(set.Body[11], Exec);
  const std::uint8_t border = Memory(0xD020, 0xD020, false, 3)[0];

  EXPECT_EQ(RunUntilStopped(), 0xC005);
  // Resumed, then the hit, the registers and the stop.
  ASSERT_EQ(Client.Events.size(), 3u);
  EXPECT_EQ(Client.Events[0].Type, Resumed);
  const MonitorMessage& hit = Client.Events[1];
  EXPECT_EQ(hit.Type, CheckpointInfo);
  EXPECT_EQ(hit.Id, EventId);
  EXPECT_EQ(Word32(hit.Body, 0), number);
  EXPECT_EQ(hit.Body[4], 1) << "currently hit";
  EXPECT_EQ(Word32(hit.Body, 13), 1u) << "hit count";
  const auto registers = Registers(Client.Events[2]);
  EXPECT_EQ(registers.at(PC), 0xC005);
  EXPECT_EQ(registers.at(Y), 0) << "the subroutine before it ran";
  EXPECT_EQ(Memory(0xD020, 0xD020, false, 3)[0], border) << "the STX after it did not";

  // Going on passes the checkpoint it stands on and meets it again a round later.
  Client.Events.clear();
  EXPECT_EQ(RunUntilStopped(), 0xC005);
  EXPECT_EQ(CurrentRegisters()[X], 1);
  // The list: an info under the list's own id for each checkpoint, then the count.
  const std::uint32_t list = Client.Send(CheckpointList);
  EXPECT_EQ(Client.Reply(list).Type, CheckpointInfo);
  const MonitorMessage listed = Client.Reply(list);
  EXPECT_EQ(listed.Type, CheckpointList);
  EXPECT_EQ(Word32(listed.Body, 0), 1u);
  EXPECT_EQ(Word32(Client.Call(CheckpointInfo, Body().U32(number)).Body, 13), 2u);

  // Disabled it is passed; deleted, it is gone.
  EXPECT_EQ(Client.Call(CheckpointToggle, Body().U32(number).U8(0)).Error, 0);
  EXPECT_EQ(Client.Call(CheckpointSet, Checkpoint(0xC015, 0xC015, Exec)).Type, CheckpointInfo);
  EXPECT_EQ(RunUntilStopped(), 0xC015);
  EXPECT_EQ(Client.Call(CheckpointDelete, Body().U32(number)).Type, CheckpointDelete);
  EXPECT_EQ(Client.Call(CheckpointDelete, Body().U32(number)).Error, 0x01);
  Quit();
}

TEST_F(RemoteMonitor, StepsIntoAndOverSubroutinesAndRunsUntilReturn) {
  Start();
  Client.Call(Ping);
  StartProgram();
  struct Case {
    std::uint16_t From;
    std::uint8_t Command;
    Body Arguments;
    std::uint16_t To;
  };
  const Case cases[] = {
      {0xC000, Advance, Body().U8(0).U16(1), 0xC002},
      {0xC002, Advance, Body().U8(0).U16(1), 0xC010},  // into the JSR
      {0xC002, Advance, Body().U8(1).U16(1), 0xC005},  // over it: the subroutine ran whole
      {0xC000, Advance, Body().U8(1).U16(3), 0xC006},
      {0xC012, UntilReturn, Body(), 0xC005},  // from inside the subroutine
  };
  for (const Case& c : cases) {
    if (c.From == 0xC012) {
      // Inside the subroutine, called from $C002.
      SetRegisters({{PC, 0xC002}});
      Client.Call(Advance, Body().U8(0).U16(2));
      ASSERT_EQ(Word16(Client.WaitForStop().Body, 0), 0xC012);
    } else {
      SetRegisters({{PC, c.From}, {SP, 0xF6}});
    }
    Client.Events.clear();
    EXPECT_EQ(Client.Call(c.Command, c.Arguments).Type, c.Command);
    EXPECT_EQ(Word16(Client.WaitForStop().Body, 0), c.To) << std::hex << c.From;
    ASSERT_FALSE(Client.Events.empty());
    EXPECT_EQ(Client.Events.front().Type, Resumed);
    const auto registers = CurrentRegisters();
    EXPECT_EQ(registers.at(PC), c.To);
    if (c.To == 0xC005) {
      EXPECT_EQ(registers.at(Y), 0) << "the subroutine's loop ran out";
      EXPECT_EQ(registers.at(SP), 0xF6) << "back at the caller's level";
    }
  }
  Quit();
}

TEST_F(RemoteMonitor, WatchpointsAndConditionsStopWhereTheyShould) {
  Start();
  Client.Call(Ping);
  StartProgram();
  // A store on the border colour: the stop lands after the STX.
  const std::uint32_t store =
      Word32(Client.Call(CheckpointSet, Checkpoint(0xD020, 0xD020, Store)).Body, 0);
  EXPECT_EQ(RunUntilStopped(), 0xC009);
  EXPECT_EQ(Memory(0xD020, 0xD020, false, 3)[0] & 0x0F, 0x01) << "X after its first INX";
  Client.Call(CheckpointDelete, Body().U32(store));
  // A load of the program's own code is no load: its fetches are not data reads.
  Client.Call(CheckpointSet, Checkpoint(0xC000, 0xC0FF, Load));
  // A condition on X at $C005: its fourth visit.
  const std::uint32_t exec =
      Word32(Client.Call(CheckpointSet, Checkpoint(0xC005, 0xC005, Exec)).Body, 0);
  EXPECT_EQ(
      Client.Call(ConditionSet, Body().U32(exec).Text("X == $03 && (Y < 1 || A == $FF)")).Error, 0);
  EXPECT_EQ(Client.Call(ConditionSet, Body().U32(exec).Text("X === 3")).Error, 0x81);
  EXPECT_EQ(Client.Call(ConditionSet, Body().U32(999).Text("X == 3")).Error, 0x01);
  EXPECT_EQ(RunUntilStopped(), 0xC005);
  EXPECT_EQ(CurrentRegisters()[X], 3);
  const MonitorMessage info = Client.Call(CheckpointInfo, Body().U32(exec));
  EXPECT_EQ(info.Body[21], 1) << "has a condition";
  EXPECT_EQ(Word32(info.Body, 13), 1u) << "hits are counted where the condition holds";
  Quit();
}

TEST_F(RemoteMonitor, KeyboardFeedTypesIntoBasic) {
  Start();
  BootToBasic();
  EXPECT_EQ(Client.Call(KeyboardFeed, Body().Text("print 6*7\r")).Type, KeyboardFeed);
  EXPECT_EQ(Client.Call(KeyboardFeed, Body().Text({'\x01'})).Error, 0x81) << "no key types it";
  ASSERT_EQ(Client.Call(Exit).Type, Exit);
  // " 42" in screen codes, once BASIC has printed it.
  const std::vector<std::uint8_t> answer = {0x20, 0x34, 0x32};
  bool shown = false;
  for (int tries = 0; tries < 200 && !shown; ++tries) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::vector<std::uint8_t> screen = Memory(0x0400, 0x07E7);
    shown = std::search(screen.begin(), screen.end(), answer.begin(), answer.end()) != screen.end();
    Client.Call(Exit);
  }
  EXPECT_TRUE(shown);
  Quit();
}

TEST_F(RemoteMonitor, AutostartRunsAProgramFile) {
  Start();
  Client.Call(Ping);
  std::vector<std::uint8_t> file = test::BasicProgramFile({"10 SYS 49152"});
  file.resize(2 + 0xC000 - 0x0801, 0);
  file.insert(file.end(), Program.begin(), Program.end());
  const std::string path = test::WriteTempFile("start.prg", file);
  Client.Call(CheckpointSet, Checkpoint(0xC005, 0xC005, Exec));
  EXPECT_EQ(Client.Call(Autostart, Body().U8(1).U16(0).Text(path + ".missing")).Error, 0x8F);
  EXPECT_EQ(Client.Call(Autostart, Body().U8(1).U16(0).Text(path)).Type, Autostart);
  EXPECT_EQ(Word16(Client.WaitForStop().Body, 0), 0xC005) << "BASIC ran SYS 49152";
  Quit();
}

TEST_F(RemoteMonitor, TheDisplayAndThePaletteAreSent) {
  Start();
  BootToBasic();
  const MonitorMessage display = Client.Call(DisplayGet, Body().U8(1).U8(0));
  ASSERT_EQ(display.Type, DisplayGet);
  const std::vector<std::uint8_t>& d = display.Body;
  EXPECT_EQ(Word32(d, 0), 17u);
  const std::uint16_t width = Word16(d, 4);
  const std::uint16_t height = Word16(d, 6);
  EXPECT_EQ(width, 360);
  EXPECT_EQ(height, 240);
  EXPECT_EQ(Word16(d, 8), 20);
  EXPECT_EQ(Word16(d, 10), 20);
  EXPECT_EQ(Word16(d, 12), 320);
  EXPECT_EQ(Word16(d, 14), 200);
  EXPECT_EQ(d[16], 8);
  ASSERT_EQ(Word32(d, 17), std::uint32_t{width} * height);
  ASSERT_EQ(d.size(), 21u + width * height);
  EXPECT_EQ(d[21], 14) << "light blue border";
  EXPECT_EQ(d[21 + 20 * width + 20], 6) << "blue screen, the top row empty";
  EXPECT_EQ(Client.Call(DisplayGet, Body().U8(1).U8(3)).Error, 0x81) << "only colour numbers";

  const MonitorMessage palette = Client.Call(PaletteGet, Body().U8(1));
  ASSERT_EQ(Word16(palette.Body, 0), 16);
  EXPECT_EQ(std::vector<std::uint8_t>(palette.Body.begin() + 6, palette.Body.begin() + 10),
            (std::vector<std::uint8_t>{3, 0xFF, 0xFF, 0xFF}))
      << "colour 1 is white";
  Quit();
}

TEST_F(RemoteMonitor, DumpAndUndumpRoundTrip) {
  Start();
  BootToBasic();
  const std::string path = test::WriteTempFile("machine.qsn", {});
  const std::vector<std::uint8_t> screen = Memory(0x0400, 0x07E7);
  const auto registers = CurrentRegisters();
  EXPECT_EQ(Client.Call(Dump, Body().U8(0).U8(0).Text(path)).Type, Dump);
  ASSERT_EQ(Client.Call(MemorySet, MemoryRange(0x0400, 0x0401).Raw({1, 2})).Error, 0);
  SetRegisters({{A, 0x99}});
  const MonitorMessage undump = Client.Call(Undump, Body().Text(path));
  ASSERT_EQ(undump.Type, Undump);
  EXPECT_EQ(Word16(undump.Body, 0), registers.at(PC));
  EXPECT_EQ(Memory(0x0400, 0x07E7), screen);
  EXPECT_EQ(CurrentRegisters(), registers);
  EXPECT_EQ(Client.Call(Undump, Body().Text(path + ".missing")).Error, 0x8F);
  EXPECT_EQ(Client.Call(Dump, Body().U8(0).U8(0).Text("/nonexistent/dir/x.qsn")).Error, 0x8F);
  Quit();
}

TEST_F(RemoteMonitor, ResetPortsResourcesAndInformation) {
  Start();
  Client.Call(Ping);
  EXPECT_EQ(Client.Call(Reset, Body().U8(0)).Type, Reset);
  EXPECT_EQ(CurrentRegisters()[PC], 0xFCE2) << "at the reset's first instruction, still stopped";
  EXPECT_EQ(Client.Call(Reset, Body().U8(5)).Error, 0x81);
  // Fire on joystick 2 reads on CIA 1's port A; the user port's lines on CIA 2's port B.
  EXPECT_EQ(Client.Call(JoyportSet, Body().U16(2).U16(0x10)).Type, JoyportSet);
  EXPECT_EQ(Memory(0xDC00, 0xDC00, false, 3)[0] & 0x10, 0);
  EXPECT_EQ(Client.Call(JoyportSet, Body().U16(3).U16(0)).Error, 0x81);
  EXPECT_EQ(Client.Call(UserportSet, Body().U16(0x5A)).Type, UserportSet);
  EXPECT_EQ(Memory(0xDD01, 0xDD01, false, 3)[0], 0x5A);
  // Resources by name, in any case; a string is read as a number for an integer one.
  EXPECT_EQ(Client.Call(ResourceSet, Body().U8(0).Text("videostandard").Text("NTSC")).Error, 0);
  MonitorMessage standard = Client.Call(ResourceGet, Body().Text("VideoStandard"));
  EXPECT_EQ(std::string(standard.Body.begin() + 2, standard.Body.end()), "NTSC");
  EXPECT_EQ(Client.Call(ResourceSet, Body().U8(0).Text("Sound").Text("0")).Error, 0);
  const MonitorMessage sound = Client.Call(ResourceGet, Body().Text("Sound"));
  EXPECT_EQ(sound.Body, (std::vector<std::uint8_t>{1, 4, 0, 0, 0, 0}));
  EXPECT_EQ(Client.Call(ResourceGet, Body().Text("NoSuchThing")).Error, 0x01);
  const MonitorMessage info = Client.Call(EmulatorInfo);
  EXPECT_EQ(info.Body, (std::vector<std::uint8_t>{4, 0, 98, 0, 0, 4, 0, 0, 0, 0}));
  Quit();
}

TEST_F(RemoteMonitor, MalformedCommandsGetTheirErrors) {
  Start();
  Client.Call(Ping);
  struct Case {
    std::uint8_t Type;
    Body Arguments;
    std::uint8_t Api;
    std::uint8_t Error;
  };
  const Case cases[] = {
      {0x99, Body(), 2, 0x83},
      {Ping, Body(), 3, 0x82},
      {MemoryGet, Body().U16(0), 2, 0x80},
      {MemoryGet, MemoryRange(0x10, 0x0F), 2, 0x81},
      {MemoryGet, Body().U8(0).U16(0).U16(1).U8(1).U16(0), 2, 0x02},
      {MemoryGet, MemoryRange(0, 1, false, 7), 2, 0x81},
      {MemorySet, MemoryRange(0x1000, 0x1003).Raw({1, 2}), 2, 0x80},
      {CheckpointInfo, Body().U32(1234), 2, 0x01},
      {CheckpointSet, Checkpoint(0x2000, 0x1000, Exec), 2, 0x81},
      {CheckpointSet, Checkpoint(0x1000, 0x1000, 0), 2, 0x81},
      {RegistersSet, Body().U8(0).U16(2).U8(3).U8(0).U16(1), 2, 0x80},
      {Dump, Body().U8(0).U8(0).U8(40).Raw({'x'}), 2, 0x80},
      {Ping, Body(), 1, 0x00},  // version 1 is understood
  };
  for (const Case& c : cases) {
    const MonitorMessage reply = Client.Reply(Client.Send(c.Type, c.Arguments, c.Api));
    EXPECT_EQ(reply.Error, c.Error) << std::hex << int{c.Type};
    EXPECT_EQ(reply.Type, c.Error == 0 ? c.Type : std::uint8_t{ErrorReply});
    EXPECT_TRUE(reply.Body.empty() || c.Error == 0);
  }
  Quit();
}

TEST_F(RemoteMonitor, CommandsAreFramedWhateverTheReadsBringAndJunkIsSkipped) {
  Start();
  test::MonitorClient& client = Client;
  // Junk, then two pings and a register read in one write, then one fed a byte at a time.
  std::vector<std::uint8_t> bytes = {0xFF, 0x00, 0x41};
  const std::vector<std::uint8_t> ping1 = {2, 2, 0, 0, 0, 0, 101, 0, 0, 0, Ping};
  const std::vector<std::uint8_t> ping2 = {2, 2, 0, 0, 0, 0, 102, 0, 0, 0, Ping};
  const std::vector<std::uint8_t> get = {2, 2, 1, 0, 0, 0, 103, 0, 0, 0, RegistersGet, 0};
  for (const auto* part : {&ping1, &ping2, &get})
    bytes.insert(bytes.end(), part->begin(), part->end());
  client.SendRaw(bytes);
  EXPECT_EQ(client.Reply(101).Type, Ping);
  EXPECT_EQ(client.Reply(102).Type, Ping);
  EXPECT_EQ(client.Reply(103).Type, RegistersGet);
  const std::vector<std::uint8_t> ping3 = {2, 2, 0, 0, 0, 0, 104, 0, 0, 0, Ping};
  for (const std::uint8_t byte : ping3) {
    client.SendRaw({byte});
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_EQ(client.Reply(104).Type, Ping);
  Quit();
}

TEST_F(RemoteMonitor, ALengthBeyondAnyCommandIsRefusedAndTheClientLetGo) {
  Start();
  Client.SendRaw({2, 2, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, Ping});
  const MonitorMessage refused = Client.Reply(7);
  EXPECT_EQ(refused.Type, ErrorReply);
  EXPECT_EQ(refused.Error, 0x80);
  EXPECT_TRUE(Client.ClosedWithin(2000));
  ASSERT_TRUE(Client.Connect(RemoteMonitorPort())) << "the next client is served";
  Quit();
}

TEST_F(RemoteMonitor, OneClientAtATimeAndLeavingLetsTheMachineRunOn) {
  Start();
  Client.Call(Ping);
  StartProgram();
  Client.Call(CheckpointSet, Checkpoint(0xC005, 0xC005, Exec));
  test::MonitorClient second;
  ASSERT_TRUE(second.Connect(RemoteMonitorPort()));
  MonitorMessage refusal{};
  ASSERT_TRUE(second.Read(refusal));
  EXPECT_EQ(refusal.Type, ErrorReply);
  EXPECT_EQ(refusal.Id, EventId);
  EXPECT_NE(std::string(refusal.Body.begin(), refusal.Body.end()).find("one client at a time"),
            std::string::npos);
  EXPECT_TRUE(second.ClosedWithin(2000));

  // The first leaves while the machine is stopped: it runs on, and its checkpoint is gone.
  Client.Close();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  ASSERT_TRUE(second.Connect(RemoteMonitorPort()));
  const MonitorMessage ping = second.Call(Ping);
  EXPECT_EQ(ping.Type, Ping);
  ASSERT_EQ(second.Events.size(), 2u) << "it was running: the ping stopped it";
  EXPECT_EQ(Word32(second.Call(CheckpointList).Body, 0), 0u);
  const MonitorMessage quit = second.Call(quillon::Quit);
  EXPECT_EQ(quit.Type, quillon::Quit);
  Emulation.join();
}

// A client that asks for much and reads nothing is dropped; the emulation never waits for it,
// and the next client is served.
TEST_F(RemoteMonitor, AClientThatDoesNotReadIsDropped) {
  Start();
  test::MonitorClient& greedy = Client;
  greedy.Call(Ping);
  constexpr int Requests = 400;
  std::vector<std::uint8_t> requests;
  for (int i = 0; i < Requests; ++i) {
    const std::vector<std::uint8_t> display = {2, 2, 2, 0, 0, 0, 1, 0, 0, 0, DisplayGet, 1, 0};
    requests.insert(requests.end(), display.begin(), display.end());
  }
  greedy.SendRaw(requests);
  // Another client is refused while the greedy one is connected, and served once it is gone.
  bool served = false;
  for (int attempt = 0; attempt < 400 && !served; ++attempt) {
    test::MonitorClient next;
    ASSERT_TRUE(next.Connect(RemoteMonitorPort()));
    const std::uint32_t ping = next.Send(Ping);
    MonitorMessage message{};
    while (next.Read(message) && message.Id != ping && message.Type != ErrorReply) {
    }
    served = message.Id == ping;
    if (served) {
      EXPECT_EQ(next.Call(quillon::Quit).Type, quillon::Quit);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  }
  EXPECT_TRUE(served);
  Emulation.join();
  EXPECT_TRUE(greedy.ClosedWithin(2000));
  EXPECT_LT(greedy.BytesReceived, Requests * 86400u) << "much of it was never sent";
}

// Settings > Remote monitor serves at the address the settings keep, or stops, and says why it
// cannot. While the monitor holds the machine the window's loop waits for messages, and a
// client's command wakes it.
TEST(RemoteMonitorWindow, TheSettingsMenuServesAndACommandWakesTheWaitingLoop) {
  test::PowerOnMachine();
  UsePosixSockets();
  UseHeadlessBackend(false);
  StartPacing();
  Settings.RemoteMonitorAddress = "127.0.0.1:0";
  MainWindowProc(nullptr, MessageCommand, CommandRemoteMonitor, 0);
  ASSERT_TRUE(RemoteMonitorRunning());
  EXPECT_EQ(Settings.RemoteMonitor, 1);
  EXPECT_EQ(Headless.MenuChanges.back(), "Remote &monitor=1");

  test::MonitorClient client;
  ASSERT_TRUE(client.Connect(RemoteMonitorPort()));
  std::int32_t exitCode = 0;
  // The pass that takes the first ping holds the machine and then waits for a message, until
  // the second ping, a moment later, wakes it. (Should no wake come, the helper posts one after
  // five seconds, so that the test fails instead of hanging.)
  const std::uint32_t first = client.Send(Ping);
  std::uint32_t second = 0;
  std::atomic<bool> woken{false};
  std::thread later([&client, &second, &woken] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    second = client.Send(Ping);
    for (int i = 0; i < 100 && !woken; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!woken) HeadlessPostMessage(MessageNull, 0, 0);
  });
  const auto start = std::chrono::steady_clock::now();
  while (!MonitorHolds() && std::chrono::steady_clock::now() - start < std::chrono::seconds(10)) {
    MainLoopPass(&exitCode);
  }
  woken = true;
  later.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  MonitorPoll();
  EXPECT_EQ(client.Reply(first).Type, Ping);
  EXPECT_EQ(client.Reply(second).Type, Ping);

  MainWindowProc(nullptr, MessageCommand, CommandRemoteMonitor, 0);
  EXPECT_FALSE(RemoteMonitorRunning());
  EXPECT_EQ(Settings.RemoteMonitor, 0);
  EXPECT_FALSE(MonitorHolds()) << "the client went with the server";
  // An address that is none of this computer's.
  Settings.RemoteMonitorAddress = "192.0.2.1:0";
  MainWindowProc(nullptr, MessageCommand, CommandRemoteMonitor, 0);
  EXPECT_FALSE(RemoteMonitorRunning());
  EXPECT_EQ(Settings.RemoteMonitor, 0);
  ASSERT_FALSE(Headless.MessageBoxes.empty());
  EXPECT_NE(Headless.MessageBoxes.back().find("cannot listen on 192.0.2.1:0"), std::string::npos);
  MonitorShutDown();
}

}  // namespace
}  // namespace quillon
