#include "accurate/accurate_machine.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "accurate/board.h"
#include "accurate/cpu6510.h"
#include "core/memory_banks.h"
#include "core/rom_images.h"
#include "media/cartridge.h"
#include "media/disk_drive.h"
#include "media/disk_traps.h"
#include "media/program_file.h"

namespace quillon::accurate {
namespace {

constexpr std::size_t PictureSize = PictureWidth * PictureHeight;
constexpr std::size_t BorderedPictureSize = BorderedWidth * BorderedHeight;
constexpr std::size_t MaxPathLength = 4096;

// The board's memory as a monitor's views reach it.
struct AccurateBus {
  static constexpr std::size_t ColorRamBytes = sizeof Board::ColorRam;
  Board& B;
  std::uint8_t* Ram() const { return B.Ram; }
  std::uint8_t* ColorRam() const { return B.ColorRam; }
  std::uint8_t Peek(std::uint16_t address) const { return B.Peek(address); }
  std::uint8_t ReadUnwatched(std::uint16_t address) const { return B.ReadUnwatched(address); }
  void WriteUnwatched(std::uint16_t address, std::uint8_t value) const {
    B.WriteUnwatched(address, value);
  }
  std::uint8_t IoPeek(std::uint16_t address) const { return B.IoPeek(address); }
  std::uint8_t IoRead(std::uint16_t address) const { return B.ReadIo(address); }
  void IoWrite(std::uint16_t address, std::uint8_t value) const { B.WriteIo(address, value); }
  bool CpuSeesIo(std::uint16_t address) const {
    return InIoArea(address) && B.Map.PlainReads[address >> 8] == nullptr;
  }
};

// The cartridge as the machine keeps it: attached or not, its file, and the image last read
// from it, which a snapshot carries so that a machine restored from one places it at its hard
// resets instead of reading the file again.
struct CartridgeSlot {
  bool Attached = false;
  std::string Path;
  std::vector<std::uint8_t> Image;
  bool ImageKept = false;
};

// The counters of the TIME block.
struct TimeState {
  std::uint64_t Clock;
  KeyboardScans KeyboardReads;
  std::uint64_t RestoreUntil;
  bool ResetRequested;
};

class AccurateMachine final : public Machine, private DiskTrapMachine {
 public:
  AccurateMachine(CiaModel cias, SidModel sid) : Cias(cias), SidChosen(sid) {
    PictureBuffer.fill(0);
    Borders.fill(0);
    BorderedBuffer.fill(0);
    B.Vic.SetPicture(PictureBuffer.data(), Borders.data(), BorderedBuffer.data());
  }
  AccurateMachine(const AccurateMachine&) = delete;
  AccurateMachine& operator=(const AccurateMachine&) = delete;

  MachineModel Model() const override { return MachineModel::Accurate; }

  bool PowerOn() override {
    LoadRomFiles();
    PictureBuffer.fill(0);
    Borders.fill(0);
    BorderedBuffer.fill(0);
    B.PowerOn(PalChosen, Cias, SidChosen);
    Cpu.Registers() = CpuRegisters{};
    ResetRequested = false;
    PlaceCartridge();
    Cpu.Reset();
    return true;
  }
  void RequestReset() override { ResetRequested = true; }
  bool Pal() const override { return PalChosen; }
  void SetPal(bool pal) override {
    PalChosen = pal;
    B.SetPal(pal);
  }
  int LinesPerFrame() const override { return B.Vic.LinesPerFrame(); }

  std::int32_t RunFrames(std::int32_t frames) override {
    B.FramesEnded = 0;
    while (B.FramesEnded < frames && !B.StopRequested) Instruction();
    return B.FramesEnded;
  }
  // The processor runs whole instructions: a cycle alone passes only while it waits for the bus
  // (BA low) or is jammed; otherwise the step is the next instruction.
  void StepCycle() override {
    const std::uint64_t before = B.Clock;
    B.WaitForBus();
    if (B.Clock == before) Instruction();
  }
  void StepInstruction() override { Instruction(); }
  void SetLineFrames(bool on) override { B.LineFrames = on; }
  // The runs end between two whole instructions, so a stop needs only the request, and there is
  // never an instruction left to finish.
  void RequestStop() override { B.StopRequested = true; }
  void StopBeforeInstruction() override {
    SkipInstruction = true;
    B.StopRequested = true;
  }
  void FinishInstruction() override {}
  bool Jammed() const override { return Cpu.Jammed(); }
  std::uint64_t Clock() const override { return B.Clock; }
  std::int32_t TakeCycleCount() override {
    return B.CycleCount.exchange(0, std::memory_order_relaxed);
  }
  void SetLineObserver(LineObserver observer) override { B.Observer = observer; }
  void SetFetchObserver(FetchObserver observer) override { Fetches = observer; }

  void EnableDebugExit(bool enabled) override {
    B.DebugExitEnabled = enabled;
    B.DebugExitStatus = -1;
  }
  std::int32_t DebugExitStatus() const override { return B.DebugExitStatus; }
  bool StopRequested() const override { return B.StopRequested; }
  void ClearStopRequest() override { B.StopRequested = false; }

  CpuRegisterFile Registers() const override {
    const CpuRegisters& r = Cpu.Registers();
    return {r.A, r.X, r.Y, r.S, r.P, r.PC};
  }
  void SetRegisters(const CpuRegisterFile& registers) override {
    CpuRegisters& r = Cpu.Registers();
    r.A = registers.A;
    r.X = registers.X;
    r.Y = registers.Y;
    r.S = registers.SP;
    r.P = registers.P | FlagUnused | FlagB;
    r.PC = registers.PC;
  }
  std::uint8_t Peek(std::uint16_t address) const override { return B.Peek(address); }
  std::uint8_t ReadMemory(MemoryBank bank, std::uint16_t address, bool sideEffects) override {
    return ReadBank(AccurateBus{B}, bank, address, sideEffects);
  }
  void WriteMemory(MemoryBank bank, std::uint16_t address, std::uint8_t value,
                   bool sideEffects) override {
    B.DrawBeforeWrite(address);
    WriteBank(AccurateBus{B}, bank, address, value, sideEffects);
  }
  void SetMemoryWatch(const std::uint8_t* pages, MemoryWatchHook hook) override {
    B.WatchMemory(pages, hook);
  }
  std::uint8_t* Ram() override { return B.Ram; }
  const std::uint8_t* Ram() const override { return B.Ram; }
  std::uint16_t ScreenAddress() const override { return B.Vic.ScreenAddress(); }
  const std::uint8_t* CharacterRom() const override { return RomImages.Chargen; }

  std::uint8_t* Picture() override { return PictureBuffer.data(); }
  const std::uint8_t* LineBorderColors() const override { return Borders.data(); }
  const std::uint8_t* BorderedPicture() const override { return BorderedBuffer.data(); }
  void SetPictureTarget(std::uint8_t* target) override {
    B.Vic.SetPicture(target != nullptr ? target : PictureBuffer.data(), Borders.data(),
                     BorderedBuffer.data());
  }
  std::uint16_t RasterCompare() const override { return B.Vic.RasterCompare(); }

  std::uint8_t* KeyMatrix() override { return B.KeyMatrix; }
  void SetJoystick(int port, std::uint8_t lines) override {
    B.JoystickLines[port == 1 ? 0 : 1] = lines & 0x1F;
    B.FollowLightPen();
  }
  void PressRestore() override { B.PressRestore(); }
  void SetUserPortLines(std::uint8_t lines) override { B.UserPortLines = lines; }
  KeyboardScans KeyboardScanCount() const override { return B.KeyboardReads; }

  bool LoadProgram(const std::string& path) override {
    return LoadProgramFile(path.c_str(), B.Ram);
  }
  void AttachCartridge(const std::string& path) override {
    Cartridge = {true, path, {}, false};
    ResetRequested = true;
  }
  void DetachCartridge() override {
    Cartridge.Attached = false;
    Cartridge.ImageKept = false;
    ResetRequested = true;
  }
  const std::string& CartridgePath() const override { return Cartridge.Path; }
  std::string AttachDisk(const std::string& path) override {
    std::string error = CheckDiskImage(path);
    if (error.empty()) Disk = path;
    return error;
  }
  void DetachDisk() override { Disk.clear(); }
  const std::string& DiskPath() const override { return Disk; }

  std::uint32_t SampleRate() const override { return SidSampleRate; }
  void SetSoundLive(bool live) override { B.SetSoundLive(live); }
  // Recorded, the tick comes on the emulation's thread: the chip catches up first. Live, the
  // emulation's thread has the board, and only the queue is shared.
  std::span<std::int16_t> SoundTick(bool mix) override {
    if (!B.Audio.Live()) B.CollectSound();
    return B.Audio.Tick(mix);
  }
  std::span<std::int16_t> SoundTail(std::int32_t) override {
    B.CollectSound();
    return B.Audio.Tail();
  }
  std::optional<SidChip> SidChipInUse() const override {
    return B.Sid.Model() == SidModel::Mos8580 ? SidChip::Mos8580 : SidChip::Mos6581;
  }
  void SetSidChip(SidChip chip) override {
    SidChosen = chip == SidChip::Mos8580 ? SidModel::Mos8580 : SidModel::Mos6581;
    B.SetSidModel(SidChosen);
  }

  void SaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard) override;
  std::string LoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard) override;

 private:
  // Where a snapshot's blocks are read to: the machine's own parts, or spare ones that only
  // check them.
  struct Parts {
    Cpu6510<Board>* Cpu;
    ProcessorPort* Port;
    VicII* Vic;
    Cia6526* Cias[2];
    accurate::Sid* Sid;
    AudioOut* Audio;
    std::uint8_t* Ram;
    std::uint8_t* ColorRam;
    std::uint8_t* Picture;
    std::uint8_t* Borders;
    std::uint8_t* Bordered;
    std::uint8_t* KeyMatrix;
    std::uint8_t* JoystickLines;
    CartridgeSlot* Cartridge;
    TimeState* Time;
    bool ApplyKeyboard;
  };

  // One instruction, or an interrupt or reset sequence, with what the machine does between
  // two instructions: a reset asked for, the disk traps, the fetch observer.
  void Instruction() {
    if (ResetRequested) [[unlikely]] HardReset();
    if (Cpu.AtInstruction()) [[likely]] {
      if (!Disk.empty() && IsDiskTrap(Cpu.Registers().PC)) [[unlikely]] {
        ServeDiskTrap(*this, Disk);
      }
      if (Fetches != nullptr) {
        // The observer sees the clock of the fetch itself, after any cycles BA holds it up.
        B.WaitForBus();
        Fetches();
        if (SkipInstruction) {
          // Stopped before it: the instruction is fetched afresh by the next run.
          SkipInstruction = false;
          return;
        }
      }
    }
    Cpu.Step();
  }

  void HardReset() {
    ResetRequested = false;
    B.HardReset();
    PlaceCartridge();
    Cpu.Reset();
  }

  // A normal cartridge's ROM goes into RAM at every hard reset, and is kept from being written.
  void PlaceCartridge() {
    if (Cartridge.Attached) {
      if (!Cartridge.ImageKept) Cartridge.Image = ReadCartridgeFile(Cartridge.Path.c_str());
      PlaceCartridgeImage(Cartridge.Image, B.Ram);
    }
    B.SetCartridgeRom(Cartridge.Attached);
  }

  std::string ReadBody(SnapshotReader& in, const SnapshotKeyboardPart& keyboard, Parts& parts);

  // --- The disk traps' view ---
  std::uint8_t* TrapRam() override { return B.Ram; }
  std::uint8_t TrapRead(std::uint16_t address) override { return B.Peek(address); }
  void TrapWrite(std::uint16_t address, std::uint8_t value) override { B.Store(address, value); }
  bool KernalBankedIn() const override { return (B.Port.MemoryLines() & PortHiram) != 0; }
  std::uint16_t TrapProgramCounter() const override { return Cpu.Registers().PC; }
  void SetTrapProgramCounter(std::uint16_t address) override { Cpu.Registers().PC = address; }
  void TrapPush(std::uint8_t value) override {
    CpuRegisters& r = Cpu.Registers();
    B.Ram[0x0100 | r.S] = value;
    --r.S;
  }

  Board B;
  Cpu6510<Board> Cpu{B};
  CiaModel Cias;
  SidModel SidChosen;
  bool PalChosen = true;
  bool ResetRequested = false;
  FetchObserver Fetches = nullptr;
  // The fetch observer stopped the run before the instruction it saw.
  bool SkipInstruction = false;
  CartridgeSlot Cartridge;
  std::string Disk;
  std::array<std::uint8_t, PictureSize> PictureBuffer;
  std::array<std::uint8_t, BorderTableLines> Borders;
  std::array<std::uint8_t, BorderedPictureSize> BorderedBuffer;
};

// --- Snapshots ------------------------------------------------------------------------------

template <class Stream, class Self>
void TimeFields(Stream& s, Self& time) {
  s.Field(time.Clock);
  s.Field(time.KeyboardReads.Begun);
  s.Field(time.KeyboardReads.LastRead);
  s.Field(time.RestoreUntil);
  s.Flag(time.ResetRequested);
}

void AccurateMachine::SaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard) {
  std::size_t block = out.BeginBlock("MODL");
  out.Block(SnapshotModelName, sizeof SnapshotModelName - 1);
  out.EndBlock(block);
  block = out.BeginBlock("CPU ");
  Cpu.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("RAM ");
  out.Block(B.Ram, sizeof B.Ram);
  out.Block(B.ColorRam, sizeof B.ColorRam);
  out.EndBlock(block);
  block = out.BeginBlock("PORT");
  B.Port.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("VIC ");
  B.Vic.Save(out);
  out.Block(PictureBuffer.data(), PictureBuffer.size());
  out.Block(Borders.data(), Borders.size());
  out.Block(BorderedBuffer.data(), BorderedBuffer.size());
  out.EndBlock(block);
  block = out.BeginBlock("CIA ");
  B.Cia1.Save(out);
  B.Cia2.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("SID ");
  B.Sid.Save(out);
  B.Audio.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("CART");
  out.U8(Cartridge.Attached ? 1 : 0);
  out.Sized(Cartridge.Path.data(), Cartridge.Path.size());
  out.Sized(Cartridge.Image.data(), Cartridge.Image.size());
  out.EndBlock(block);
  block = out.BeginBlock("KEYS");
  out.Block(B.KeyMatrix, sizeof B.KeyMatrix);
  out.Block(B.JoystickLines, sizeof B.JoystickLines);
  keyboard.Save(out);
  out.EndBlock(block);
  block = out.BeginBlock("TIME");
  TimeState time = {B.Clock, B.KeyboardReads, B.RestoreUntil, ResetRequested};
  TimeFields(out, time);
  out.EndBlock(block);
}

std::string AccurateMachine::ReadBody(SnapshotReader& in, const SnapshotKeyboardPart& keyboard,
                                      Parts& parts) {
  std::size_t end = in.OpenBlock("MODL");
  char name[sizeof SnapshotModelName - 1];
  in.Block(name, sizeof name);
  if (!in.CloseBlock(end) || std::memcmp(name, SnapshotModelName, sizeof name) != 0) {
    return "is damaged: its model block";
  }
  end = in.OpenBlock("CPU ");
  if (!parts.Cpu->Load(in) || !in.CloseBlock(end)) return "is damaged: its processor block";
  end = in.OpenBlock("RAM ");
  in.Block(parts.Ram, sizeof B.Ram);
  in.Block(parts.ColorRam, sizeof B.ColorRam);
  if (!in.CloseBlock(end)) return "is damaged: its memory block";
  end = in.OpenBlock("PORT");
  if (!parts.Port->Load(in) || !in.CloseBlock(end)) return "is damaged: its processor port block";
  end = in.OpenBlock("VIC ");
  const bool vic = parts.Vic->Load(in);
  in.Block(parts.Picture, PictureSize);
  in.Block(parts.Borders, BorderTableLines);
  in.Block(parts.Bordered, BorderedPictureSize);
  if (!vic || !in.CloseBlock(end)) return "is damaged: its VIC-II block";
  end = in.OpenBlock("CIA ");
  const bool cias = parts.Cias[0]->Load(in) && parts.Cias[1]->Load(in);
  if (!cias || !in.CloseBlock(end)) return "is damaged: its CIA block";
  end = in.OpenBlock("SID ");
  const bool sid = parts.Sid->Load(in) && parts.Audio->Load(in);
  if (!sid || !in.CloseBlock(end)) return "is damaged: its SID block";
  end = in.OpenBlock("CART");
  parts.Cartridge->Attached = in.Flag();
  std::vector<std::uint8_t> path;
  if (!in.Sized(path, MaxPathLength) ||
      !in.Sized(parts.Cartridge->Image, CartridgeImageMaxSize) || !in.CloseBlock(end)) {
    return "is damaged: its cartridge block";
  }
  parts.Cartridge->Path.assign(path.begin(), path.end());
  parts.Cartridge->ImageKept = true;
  end = in.OpenBlock("KEYS");
  in.Block(parts.KeyMatrix, sizeof B.KeyMatrix);
  in.Block(parts.JoystickLines, sizeof B.JoystickLines);
  if (!keyboard.Load(in, parts.ApplyKeyboard) || !in.CloseBlock(end)) {
    return "is damaged: its keyboard block";
  }
  end = in.OpenBlock("TIME");
  TimeFields(in, *parts.Time);
  const std::uint64_t clock = parts.Time->Clock;
  // Every chip stands where the clock is: none has work left behind it, none has run ahead.
  if (!in.CloseBlock(end) || parts.Vic->NextEvent() < clock ||
      parts.Cias[0]->NextCycle() > clock || parts.Cias[1]->NextCycle() > clock ||
      parts.Sid->NextCycle() > clock) {
    return "is damaged: its counters block";
  }
  if (in.Position != in.Size) return "is damaged: it goes on after its last block";
  return "";
}

std::string AccurateMachine::LoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard) {
  // First into spare parts, which only check the blocks; then, when all are sound, into the
  // machine's own.
  const std::size_t start = in.Position;
  {
    Cpu6510<Board> cpu(B);
    ProcessorPort port;
    VicII vic(VicMemory{});
    Cia6526 cia1;
    Cia6526 cia2;
    accurate::Sid sid;
    AudioOut audio(sid);
    struct Memory {
      std::uint8_t Ram[sizeof B.Ram];
      std::uint8_t ColorRam[sizeof B.ColorRam];
      std::uint8_t Picture[PictureSize];
      std::uint8_t Borders[BorderTableLines];
      std::uint8_t Bordered[BorderedPictureSize];
    };
    const auto memory = std::make_unique<Memory>();
    std::uint8_t keys[sizeof B.KeyMatrix];
    std::uint8_t joysticks[sizeof B.JoystickLines];
    CartridgeSlot cartridge;
    TimeState time{};
    Parts spare = {&cpu, &port, &vic, {&cia1, &cia2}, &sid, &audio, memory->Ram,
                   memory->ColorRam, memory->Picture, memory->Borders, memory->Bordered,
                   keys, joysticks, &cartridge, &time, false};
    const std::string error = ReadBody(in, keyboard, spare);
    if (!error.empty()) return error;
  }
  SnapshotReader again{in.Data, in.Size, start};
  TimeState time{};
  Parts own = {&Cpu, &B.Port, &B.Vic, {&B.Cia1, &B.Cia2}, &B.Sid, &B.Audio, B.Ram,
               B.ColorRam, PictureBuffer.data(), Borders.data(), BorderedBuffer.data(),
               B.KeyMatrix, B.JoystickLines, &Cartridge, &time, true};
  ReadBody(again, keyboard, own);
  B.Clock = time.Clock;
  B.KeyboardReads = time.KeyboardReads;
  B.RestoreUntil = time.RestoreUntil;
  ResetRequested = time.ResetRequested;
  PalChosen = B.Vic.PendingPal();
  Cias = B.Cia1.Model();
  SidChosen = B.Sid.Model();
  B.SetCartridgeRom(Cartridge.Attached);
  B.Resynchronise();
  return "";
}

}  // namespace

std::unique_ptr<Machine> CreateAccurateMachine(CiaModel cias, SidModel sid) {
  return std::make_unique<AccurateMachine>(cias, sid);
}

}  // namespace quillon::accurate
