#include "accurate/board.h"

#include <algorithm>
#include <cstring>

#include "core/rom_images.h"

namespace quillon::accurate {
namespace {

constexpr std::uint64_t Never = ~std::uint64_t{0};

// RESTORE's circuit holds /NMI low for a few dozen microseconds.
constexpr std::uint64_t RestorePulseCycles = 50;

// CIA 2's port A: the serial bus's CLOCK and DATA outputs (inverted: a 1 pulls the line low)
// and the inputs that read the lines back.
constexpr std::uint8_t SerialClockOut = 0x10;
constexpr std::uint8_t SerialDataOut = 0x20;
constexpr std::uint8_t SerialClockIn = 0x40;
constexpr std::uint8_t SerialDataIn = 0x80;

}  // namespace

Board::Board()
    : Vic(VicMemory{Ram, ColorRam, RomImages.Chargen, DataBus, this}) {
  std::memset(Ram, 0, sizeof Ram);
  std::memset(ColorRam, 0, sizeof ColorRam);
  std::memset(KeyMatrix, 0xFF, sizeof KeyMatrix);
  Map.Build(Ram, {RomImages.Basic, RomImages.Kernal, RomImages.Chargen}, false);
  FollowPort();
}

// --- Time -----------------------------------------------------------------------------------

// The start of cycle Clock: every chip whose time has come does its work, and the lines take
// the levels the processor samples at the end of the cycle.
void Board::Events() {
  const std::uint64_t c = Clock;
  if (CiaDue[0] <= c) {
    if (c > 0) Cia1.AdvanceTo(c - 1);
    Cia1Irq = Cia1.IrqAssertedNext();
    CiaDue[0] = Cia1.NextEvent();
  }
  if (CiaDue[1] <= c) {
    if (c > 0) Cia2.AdvanceTo(c - 1);
    Cia2Irq = Cia2.IrqAssertedNext();
    CiaDue[1] = Cia2.NextEvent();
  }
  if (Vic.NextEvent() <= c) {
    const LineEnd ended = Vic.StartCycle(c);
    if (ended != LineEnd::None) LineEnded(ended == LineEnd::Frame);
  }
  IrqLevel = Cia1Irq || Vic.IrqAsserted();
  NmiLevel = Cia2Irq || c < RestoreUntil;
  std::uint64_t due = std::min({CiaDue[0], CiaDue[1], Vic.NextEvent()});
  if (RestoreUntil > c) due = std::min(due, RestoreUntil);
  ChipsDue = std::max(due, c + 1);
  NextEvent = c + 1 < Vic.BaLowUntil() ? c + 1 : ChipsDue;
}

void Board::WaitForBus() {
  for (;;) {
    Events();
    if (Clock >= Vic.BaLowUntil()) return;
    // The cycles pass without the processor until BA rises or a chip has work.
    Clock = std::min(Vic.BaLowUntil(), ChipsDue);
    StalledReadAt = Clock;
  }
}

void Board::LineEnded(bool frame) {
  if (frame) {
    Audio.Collect(Clock - 1);
    Audio.FollowStandard(Vic.Pal());
  }
  if (frame || LineFrames) ++FramesEnded;
  CycleCount.fetch_add(static_cast<std::int32_t>(Clock - PublishedClock), std::memory_order_relaxed);
  PublishedClock = Clock;
  if (Observer != nullptr) Observer(frame);
}

// An access to a CIA may change what it does next: it is looked at again in the next cycle.
void Board::CiaTouched(int cia) {
  CiaDue[cia] = 0;
  ChipsDue = NextEvent = Clock + 1;
}

void Board::PressRestore() {
  RestoreUntil = Clock + RestorePulseCycles;
  ChipsDue = NextEvent = Clock;
}

void Board::Resynchronise() {
  Audio.FollowStandard(Vic.Pal());
  FollowPort();
  FollowCia2Port();
  FollowLightPen();
  CiaDue[0] = CiaDue[1] = 0;
  ChipsDue = NextEvent = Clock;
}

// --- Power ----------------------------------------------------------------------------------

void Board::PowerOn(bool pal, CiaModel cias, SidModel sid) {
  Clock = 0;
  PublishedClock = 0;
  FramesEnded = 0;
  RestoreUntil = 0;
  KeyboardReads = {};
  StalledReadAt = Never;
  DebugExitStatus = -1;
  StopRequested = false;
  std::memset(KeyMatrix, 0xFF, sizeof KeyMatrix);
  JoystickLines[0] = JoystickLines[1] = 0x1F;
  Vic.PowerOn(pal, 0);
  const std::uint32_t mains = pal ? PalMainsPeriod : NtscMainsPeriod;
  Cia1 = Cia6526(cias, mains);
  Cia2 = Cia6526(cias, mains);
  Cia1.SetPinFunction(Cia1Pins, this);
  Cia2.SetPinFunction(Cia2Pins, this);
  Port = ProcessorPort{};
  Sid = accurate::Sid(sid, Audio.ClockFor(pal));
  Audio.PowerOn();
  HardReset();
}

void Board::HardReset() {
  // The power-on RAM pattern: blocks of 128 bytes, $99 where address bit 7 is clear, $66 where
  // it is set.
  for (std::size_t block = 0; block < sizeof Ram; block += 256) {
    std::memset(Ram + block, 0x99, 128);
    std::memset(Ram + block + 128, 0x66, 128);
  }
  std::memset(ColorRam, 0, sizeof ColorRam);
  Cia1.Reset(Clock);
  Cia2.Reset(Clock);
  Sid.Reset(Clock);
  Port.Reset(Clock);
  Resynchronise();
}

void Board::SetPal(bool pal) {
  Vic.SetPal(pal);
  const std::uint32_t mains = pal ? PalMainsPeriod : NtscMainsPeriod;
  Cia1.SetMainsPeriod(mains);
  Cia2.SetMainsPeriod(mains);
}

void Board::SetSidModel(SidModel model) {
  if (Clock > 0) Sid.AdvanceTo(Clock - 1);
  Sid.SetModel(model);
}

void Board::CollectSound() {
  if (Clock > 0) Audio.Collect(Clock - 1);
}

void Board::SetSoundLive(bool live) {
  CollectSound();
  Audio.SetLive(live);
  Audio.FollowStandard(Vic.Pal());
}

void Board::SetCartridgeRom(bool present) {
  CartridgeRom = present;
  Map.Build(Ram, {RomImages.Basic, RomImages.Kernal, RomImages.Chargen}, present);
  FollowPort();
}

// --- The bus's slow half --------------------------------------------------------------------

// The port, the I/O area, and the pages a watch has taken out of the tables in use.
std::uint8_t Board::ReadSpecial(std::uint16_t address) {
  const std::uint8_t value = ReadUnwatched(address);
  if (WatchHook != nullptr && (Map.Watched(address) & WatchLoads)) WatchHook(address, value, false);
  return value;
}

void Board::WriteSpecial(std::uint16_t address, std::uint8_t value) {
  WriteUnwatched(address, value);
  if (WatchHook != nullptr && (Map.Watched(address) & WatchStores)) WatchHook(address, value, true);
}

std::uint8_t Board::ReadUnwatched(std::uint16_t address) {
  if (address <= 1) return Port.Read(address, Clock);
  const std::uint8_t* page = Map.PlainReads[address >> 8];
  return page != nullptr ? page[address & 0xFF] : ReadIo(address);
}

// A write to the port also reaches the RAM beneath it, with the byte the VIC-II left on the bus:
// the processor does not drive the data lines for its own port.
void Board::WriteUnwatched(std::uint16_t address, std::uint8_t value) {
  std::uint8_t* page = Map.PlainWrites[address >> 8];
  if (address <= 1) {
    Port.Write(address, value, Clock);
    Ram[address] = Vic.Phi1Byte(Clock);
    FollowPort();
  } else if (page != nullptr) {
    page[address & 0xFF] = value;
  } else if ((address >> 12) == 0xD) {
    WriteIo(address, value);
  }
  // Otherwise the cartridge's ROM area, which takes no writes.
}

void Board::WatchMemory(const std::uint8_t* pages, Machine::MemoryWatchHook hook) {
  Map.Watch(hook != nullptr ? pages : nullptr);
  WatchHook = pages != nullptr ? hook : nullptr;
}

std::uint8_t Board::ReadIo(std::uint16_t address) {
  const int reg = address & 0x0F;
  switch ((address >> 8) & 0x0F) {
    case 0x0: case 0x1: case 0x2: case 0x3:
      return Vic.Read(address & 0x3F, Clock);
    case 0x4: case 0x5: case 0x6: case 0x7:
      return Sid.Read(address, Clock);
    case 0x8: case 0x9: case 0xA: case 0xB:
      // Four data lines: the high nibble is whatever the VIC-II left on the bus.
      return static_cast<std::uint8_t>((ColorRam[address & 0x3FF] & 0x0F) |
                                       (Vic.Phi1Byte(Clock) & 0xF0));
    case 0xC: {
      const std::uint8_t value = Cia1.Read(reg, Clock);
      if (reg == CiaPortB) KeyboardReads.NoteRead(Clock);
      CiaTouched(0);
      return value;
    }
    case 0xD: {
      const std::uint8_t value = Cia2.Read(reg, Clock);
      CiaTouched(1);
      return value;
    }
    default:
      return Vic.Phi1Byte(Clock);  // I/O 1 and 2: nothing answers
  }
}

void Board::WriteIo(std::uint16_t address, std::uint8_t value) {
  const int reg = address & 0x0F;
  switch ((address >> 8) & 0x0F) {
    case 0x0: case 0x1: case 0x2: case 0x3:
      Vic.Write(address & 0x3F, value, Clock);
      IrqLevel = Cia1Irq || Vic.IrqAsserted();
      ChipsDue = NextEvent = Clock + 1;
      return;
    case 0x4: case 0x5: case 0x6: case 0x7:
      if (address == DebugExitPort && DebugExitEnabled) {
        DebugExitStatus = value;
        StopRequested = true;
      }
      Sid.Write(address, value, Clock);
      return;
    case 0x8: case 0x9: case 0xA: case 0xB:
      ColorRam[address & 0x3FF] = value & 0x0F;
      return;
    case 0xC:
      Cia1.Write(reg, value, Clock);
      FollowLightPen();
      CiaTouched(0);
      return;
    case 0xD:
      Cia2.Write(reg, value, Clock);
      if (reg == CiaPortA || reg == CiaDirectionA) FollowCia2Port();
      CiaTouched(1);
      return;
    default:
      return;
  }
}

std::uint8_t Board::Peek(std::uint16_t address) const {
  if (address <= 1) return Port.Read(address, Clock);
  const std::uint8_t* page = Map.PlainReads[address >> 8];
  if (page != nullptr) return page[address & 0xFF];
  return IoPeek(address);
}

std::uint8_t Board::IoPeek(std::uint16_t address) const {
  const int reg = address & 0x0F;
  switch ((address >> 8) & 0x0F) {
    case 0x0: case 0x1: case 0x2: case 0x3:
      return Vic.Peek(address & 0x3F, Clock);
    case 0x4: case 0x5: case 0x6: case 0x7:
      return Sid.Peek(address, Clock);
    case 0x8: case 0x9: case 0xA: case 0xB:
      return static_cast<std::uint8_t>((ColorRam[address & 0x3FF] & 0x0F) |
                                       (Vic.Phi1Byte(Clock) & 0xF0));
    case 0xC: return Cia1.Peek(reg, Clock);
    case 0xD: return Cia2.Peek(reg, Clock);
    default: return Vic.Phi1Byte(Clock);
  }
}

// --- Wiring ---------------------------------------------------------------------------------

// The VIC-II's address lines 14 and 15 are CIA 2's PA0 and PA1, inverted.
void Board::FollowCia2Port() {
  Vic.SetBank(static_cast<std::uint8_t>(~Cia2.Outputs().A & 3), Clock);
}

void Board::FollowLightPen() {
  const CiaPorts driven = Cia1.Outputs();
  Vic.SetLightPen(((driven.B & Cia1Pins(this, driven).B) & 0x10) == 0, Clock);
}

std::uint8_t Board::DataBus(const void* context) {
  const auto& board = *static_cast<const Board*>(context);
  return board.Peek(board.ReadAddress);
}

// CIA 1: the keyboard's columns on port A, its rows on port B, joined where a key is held, so a
// low on either side pulls the other down; the joystick in port 2 pulls port A's lines, the one
// in port 1 port B's.
CiaPorts Board::Cia1Pins(void* context, CiaPorts driven) {
  const auto& board = *static_cast<const Board*>(context);
  const auto a = static_cast<std::uint8_t>(driven.A & (board.JoystickLines[1] | 0xE0));
  const auto b = static_cast<std::uint8_t>(driven.B & (board.JoystickLines[0] | 0xE0));
  std::uint8_t outsideA = board.JoystickLines[1] | 0xE0;
  std::uint8_t outsideB = board.JoystickLines[0] | 0xE0;
  for (int column = 0; column < 8; ++column) {
    const std::uint8_t keys = board.KeyMatrix[column];
    if (!((a >> column) & 1)) outsideB &= keys;
    if (static_cast<std::uint8_t>(~b & ~keys) != 0) {
      outsideA &= static_cast<std::uint8_t>(~(1u << column));
    }
  }
  return {outsideA, outsideB};
}

// CIA 2: with nothing on the serial bus, CLOCK and DATA read low only while the C64 itself pulls
// them; port B meets the user port.
CiaPorts Board::Cia2Pins(void* context, CiaPorts driven) {
  const auto& board = *static_cast<const Board*>(context);
  std::uint8_t outsideA = 0xFF;
  if (driven.A & SerialClockOut) outsideA &= static_cast<std::uint8_t>(~SerialClockIn);
  if (driven.A & SerialDataOut) outsideA &= static_cast<std::uint8_t>(~SerialDataIn);
  return {outsideA, board.UserPortLines};
}

}  // namespace quillon::accurate
