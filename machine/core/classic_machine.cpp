#include "core/classic_machine.h"

#include <atomic>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "core/memory_banks.h"
#include "core/rom_images.h"
#include "core/snapshot.h"
#include "cpu/cpu.h"
#include "media/cartridge.h"
#include "media/disk_drive.h"
#include "media/program_file.h"
#include "sid/mixer.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

static_assert(WatchLoads == MemoryWatchLoads && WatchStores == MemoryWatchStores);

// The machine's memory as a monitor's views reach it.
struct ClassicBus {
  static constexpr std::size_t ColorRamBytes = 1000;  // the bytes the processor reaches
  std::uint8_t* Ram() const { return MainRam; }
  std::uint8_t* ColorRam() const { return quillon::ColorRam; }
  std::uint8_t Peek(std::uint16_t address) const { return MemPeek(address); }
  std::uint8_t ReadUnwatched(std::uint16_t address) const { return MemReadUnwatched(address); }
  void WriteUnwatched(std::uint16_t address, std::uint8_t value) const {
    MemWriteUnwatched(address, value);
  }
  std::uint8_t IoPeek(std::uint16_t address) const { return quillon::IoRead(address, false); }
  std::uint8_t IoRead(std::uint16_t address) const { return quillon::IoRead(address, true); }
  void IoWrite(std::uint16_t address, std::uint8_t value) const { quillon::IoWrite(address, value); }
  bool CpuSeesIo(std::uint16_t address) const {
    return InIoArea(address) &&
           MemoryMap.ReadPages[MemoryMap.CurrentPort & 7][address >> 8] == nullptr;
  }
};

// A handle to the one classic machine: every handle reaches the same records.
class ClassicMachine final : public Machine {
 public:
  MachineModel Model() const override { return MachineModel::Classic; }

  bool PowerOn() override {
    ClearMachineRecords();
    return EmulatorInit() != 0;
  }
  void RequestReset() override { Cpu.ResetRequest = 1; }
  bool Pal() const override { return VideoStandard != 0; }
  void SetPal(bool pal) override {
    // The emulation reads the standard at every step; nothing else follows the switch. The
    // sound's thread reads it for the SID's clock, hence the atomic store.
    std::atomic_ref<std::uint32_t>(VideoStandard)
        .store(pal ? VideoStandardPal : VideoStandardNtsc, std::memory_order_relaxed);
  }
  int LinesPerFrame() const override { return quillon::LinesPerFrame(); }

  std::int32_t RunFrames(std::int32_t frames) override {
    RunUntilFrame(frames);
    const std::int32_t ended = CycleCounters.FrameCounter;
    CycleCounters.FrameCounter = 0;
    return ended;
  }
  void StepCycle() override { RunStep(); }
  void StepInstruction() override {
    // One whole instruction: it ends where the next call is a service step, so a taken branch
    // completes. A service step that enters an interrupt handler (or resets) ends the step on
    // its own, before the handler's first instruction runs. Every instruction ends within nine
    // steps.
    for (;;) {
      const bool serviceStep = Cpu.Opcode == ServiceMarker;
      const std::uint16_t before = Cpu.PC;
      RunStep();
      if (Cpu.Opcode == ServiceMarker || (serviceStep && Cpu.PC != before)) break;
    }
  }
  void SetLineFrames(bool on) override { RasterLineEnd.LineFrames = on; }
  void RequestStop() override { RequestRunStop(); }
  void StopBeforeInstruction() override {
    // The fetch is taken back: with the service step next again, the fetched opcode never
    // runs, and the next run fetches it afresh (its cycle has passed).
    Cpu.Opcode = ServiceMarker;
    RequestRunStop();
  }
  void FinishInstruction() override {
    while (Cpu.Opcode != ServiceMarker) RunStep();
  }
  bool Jammed() const override { return false; }
  std::uint64_t Clock() const override { return CycleCounters.Clock; }
  std::int32_t TakeCycleCount() override {
    return CycleCounters.StepCounter.exchange(0, std::memory_order_relaxed);
  }
  void SetLineObserver(LineObserver observer) override { RasterLineEnd.Observer = observer; }
  void SetFetchObserver(FetchObserver observer) override {
    quillon::FetchObserver = observer;
  }

  void EnableDebugExit(bool enabled) override { DebugExit = {enabled, -1}; }
  std::int32_t DebugExitStatus() const override { return DebugExit.Status; }
  bool StopRequested() const override { return RunStopRequested; }
  void ClearStopRequest() override { RunStopRequested = false; }

  CpuRegisterFile Registers() const override {
    return {Cpu.A, Cpu.X, Cpu.Y, Cpu.SP, Cpu.P, Cpu.PC};
  }
  void SetRegisters(const CpuRegisterFile& r) override {
    Cpu.A = r.A;
    Cpu.X = r.X;
    Cpu.Y = r.Y;
    Cpu.SP = r.SP;
    Cpu.P = r.P;
    Cpu.PC = r.PC;
  }
  std::uint8_t Peek(std::uint16_t address) const override { return MemPeek(address); }
  std::uint8_t ReadMemory(MemoryBank bank, std::uint16_t address, bool sideEffects) override {
    FollowPortChanges();
    return ReadBank(ClassicBus{}, bank, address, sideEffects);
  }
  void WriteMemory(MemoryBank bank, std::uint16_t address, std::uint8_t value,
                   bool sideEffects) override {
    FollowPortChanges();
    WriteBank(ClassicBus{}, bank, address, value, sideEffects);
  }
  void SetMemoryWatch(const std::uint8_t* pages, MemoryWatchHook hook) override {
    WatchMemory(pages, hook);
  }
  std::uint8_t* Ram() override { return MainRam; }
  const std::uint8_t* Ram() const override { return MainRam; }
  std::uint16_t ScreenAddress() const override {
    return static_cast<std::uint16_t>(Vic.BankBase + Vic.ScreenBase);
  }
  const std::uint8_t* CharacterRom() const override { return RomImages.Chargen; }

  std::uint8_t* Picture() override { return FrameImage.Picture; }
  const std::uint8_t* LineBorderColors() const override { return FrameImage.LineBorderColor; }
  const std::uint8_t* BorderedPicture() const override { return nullptr; }
  void SetPictureTarget(std::uint8_t* target) override {
    FrameImage.Target = target != nullptr ? target : FrameImage.Picture;
  }
  std::uint16_t RasterCompare() const override { return Vic.RasterCompare; }

  std::uint8_t* KeyMatrix() override { return quillon::KeyMatrix; }
  void SetJoystick(int port, std::uint8_t lines) override {
    JoystickLines[port == 1 ? 0 : 1] = lines & JoystickReleased;
  }
  void PressRestore() override { Cpu.NmiPending = 1; }
  void SetUserPortLines(std::uint8_t lines) override { UserPortLines = lines; }
  KeyboardScans KeyboardScanCount() const override { return KeyboardReads; }

  bool LoadProgram(const std::string& path) override {
    return LoadProgramFile(path.c_str(), MainRam);
  }
  void AttachCartridge(const std::string& path) override {
    quillon::AttachCartridge(path);
    Cpu.ResetRequest = 1;
  }
  void DetachCartridge() override {
    quillon::DetachCartridge();
    Cpu.ResetRequest = 1;
  }
  const std::string& CartridgePath() const override { return quillon::CartridgePath; }
  std::string AttachDisk(const std::string& path) override { return AttachDiskImage(path); }
  void DetachDisk() override { DetachDiskImage(); }
  const std::string& DiskPath() const override { return quillon::DiskPath; }

  std::uint32_t SampleRate() const override { return quillon::SampleRate; }
  // The voices are mixed a tick at a time, on whichever clock ticks them.
  void SetSoundLive(bool) override {}
  std::span<std::int16_t> SoundTick(bool mix) override { return SidSoundTick(mix); }
  std::span<std::int16_t> SoundTail(std::int32_t samples) override {
    return SidSoundTail(samples);
  }
  std::optional<SidChip> SidChipInUse() const override { return std::nullopt; }
  void SetSidChip(SidChip) override {}

  void SaveState(SnapshotWriter& out, const SnapshotKeyboardPart& keyboard) override {
    ClassicSaveState(out, keyboard);
  }
  std::string LoadState(SnapshotReader& in, const SnapshotKeyboardPart& keyboard) override {
    return ClassicLoadState(in, keyboard);
  }
};

}  // namespace

std::unique_ptr<Machine> CreateClassicMachine() { return std::make_unique<ClassicMachine>(); }

}  // namespace quillon
