#include "host/snapshot.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <system_error>

#include "cia/cia.h"
#include "cia/keyboard.h"
#include "core/machine.h"
#include "core/memory.h"
#include "cpu/cpu.h"
#include "host/crc32.h"
#include "host/file_replace.h"
#include "host/host_state.h"
#include "host/key_queue.h"
#include "machine/snapshot_stream.h"
#include "media/cartridge.h"
#include "sid/mixer.h"
#include "sid/sid.h"
#include "vic/frame_image.h"
#include "vic/vic.h"

namespace quillon {
namespace {

constexpr char Magic[8] = {'Q', 'U', 'I', 'L', 'S', 'N', 'A', 'P'};
constexpr std::size_t PictureSize = PictureWidth * PictureHeight;
constexpr std::uint8_t NoWave = 0xFF;
constexpr std::size_t MaxPathLength = 4096;

// --- Blocks ----------------------------------------------------------------------------------

std::size_t BeginBlock(SnapshotWriter& out, const char (&tag)[5]) {
  out.Block(tag, 4);
  out.U32(0);
  return out.Bytes.size();
}

void EndBlock(SnapshotWriter& out, std::size_t start) {
  const auto size = static_cast<std::uint32_t>(out.Bytes.size() - start);
  for (int i = 0; i < 4; ++i) out.Bytes[start - 4 + i] = static_cast<std::uint8_t>(size >> (8 * i));
}

// Reads a block's tag and size; the block's data must lie within what is left. Returns where
// its data end, or 0 when the block is not there.
std::size_t OpenBlock(SnapshotReader& in, const char (&tag)[5]) {
  char found[4];
  in.Block(found, 4);
  const std::uint32_t size = in.U32();
  if (in.Failed || std::memcmp(found, tag, 4) != 0 || size > in.Size - in.Position) return 0;
  return in.Position + size;
}

// The data of a block were read to their end exactly.
bool CloseBlock(SnapshotReader& in, std::size_t end) { return !in.Failed && in.Position == end; }

// --- The machine as the body holds it --------------------------------------------------------

struct SidVoiceImage {
  std::uint8_t Wave;
  std::uint32_t Phase;
  std::uint32_t Level;
  std::uint8_t EnvState;
  std::uint8_t Rates[4];  // attack, decay, sustain, release
};

struct MachineImage {
  CpuState Cpu;
  std::array<std::uint8_t, MainRamSize> Ram;
  std::array<std::uint8_t, ColorRamSize> ColorRam;
  VicState Vic;
  std::array<std::uint8_t, PictureSize> Picture;
  std::array<std::uint8_t, BorderTableLines> Borders;
  CiaState Cias[2];
  std::uint8_t SidRegisters[SidRegisterCount];
  std::uint8_t ActiveVoices;
  SidVoiceImage Voices[SidVoiceCount];
  std::uint8_t PortLatch;
  std::uint8_t IdToggle;
  bool CartridgeAttached;
  std::string CartridgePath;
  std::vector<std::uint8_t> CartridgeImage;
  std::uint8_t KeyMatrix[8];
  std::size_t KeyQueueAt;  // where the typing queue's fields start in the body
  std::uint8_t VideoStandard;
  std::uint16_t LineClock;
  std::int32_t FrameCounter;
  std::uint64_t Clock;
};

void WriteCpu(SnapshotWriter& out) {
  out.U8(Cpu.A);
  out.U8(Cpu.X);
  out.U8(Cpu.Y);
  out.U8(Cpu.SP);
  out.U8(Cpu.P);
  out.U16(Cpu.PC);
  out.U16(Cpu.EffectiveAddress);
  out.U8(Cpu.Opcode);
  out.U8(Cpu.Cycle);
  out.U8(Cpu.LastCycle);
  out.U8(Cpu.IrqPending);
  out.U8(Cpu.NmiPending);
  out.U8(static_cast<std::uint8_t>(Cpu.ResetRequest));
}

// The processor stands where the per-step handlers can go on from: at a service step, at an
// instruction's main call, at a taken branch's second call, or among an instruction's idle
// calls, of which there are at most seven.
bool ValidCpuStep(const CpuState& cpu) {
  if (cpu.Opcode == ServiceMarker || cpu.Cycle == 1) return true;
  if (IsBranchOpcode(cpu.Opcode)) return cpu.Cycle == 2;
  return cpu.Cycle >= 2 && cpu.Cycle <= cpu.LastCycle && cpu.LastCycle <= 8;
}

bool ReadCpu(SnapshotReader& in, CpuState& cpu) {
  cpu.A = in.U8();
  cpu.X = in.U8();
  cpu.Y = in.U8();
  cpu.SP = in.U8();
  cpu.P = in.U8();
  cpu.PC = in.U16();
  cpu.EffectiveAddress = in.U16();
  cpu.Opcode = in.U8();
  cpu.Cycle = in.U8();
  cpu.LastCycle = in.U8();
  cpu.IrqPending = in.Flag();
  cpu.NmiPending = in.Flag();
  cpu.ResetRequest = in.Flag();
  return ValidCpuStep(cpu);
}

void WriteVic(SnapshotWriter& out) {
  out.Block(Vic.Registers, sizeof Vic.Registers);
  out.U16(Vic.RasterLine);
  out.U16(Vic.RasterCompare);
  out.U8(Vic.ExtendedColorMode);
  out.U8(Vic.BitmapMode);
  out.U8(Vic.DisplayEnable);
  out.U8(Vic.RowSelect);
  out.U16(Vic.YScroll);
  out.U8(Vic.MultiColorMode);
  out.U8(Vic.ColumnSelect);
  out.U16(Vic.XScroll);
  out.U16(Vic.ScreenBase);
  out.U16(Vic.CharBase);
  out.U16(Vic.BankBase);
  out.U8(Vic.BorderColor);
  out.Block(Vic.BackgroundColor, sizeof Vic.BackgroundColor);
}

// The decoded fields hold values that their registers can give: the renderer indexes with them.
bool ReadVic(SnapshotReader& in, VicState& vic) {
  in.Block(vic.Registers, sizeof vic.Registers);
  vic.RasterLine = in.U16();
  vic.RasterCompare = in.U16();
  vic.ExtendedColorMode = in.U8();
  vic.BitmapMode = in.U8();
  vic.DisplayEnable = in.U8();
  vic.RowSelect = in.U8();
  vic.YScroll = in.U16();
  vic.MultiColorMode = in.U8();
  vic.ColumnSelect = in.U8();
  vic.XScroll = in.U16();
  vic.ScreenBase = in.U16();
  vic.CharBase = in.U16();
  vic.BankBase = in.U16();
  vic.BorderColor = in.U8();
  in.Block(vic.BackgroundColor, sizeof vic.BackgroundColor);
  bool colours = vic.BorderColor <= 15;
  for (std::uint8_t colour : vic.BackgroundColor) colours = colours && colour <= 15;
  return colours && vic.RasterLine < PalLinesPerFrame &&
         (vic.RasterCompare <= 0x1FF || vic.RasterCompare == NoRasterCompare) &&
         vic.YScroll <= 7 && vic.XScroll <= 7 && vic.ScreenBase % 0x400 == 0 &&
         vic.ScreenBase < 0x4000 && vic.CharBase % 0x800 == 0 && vic.CharBase < 0x4000 &&
         vic.BankBase % 0x4000 == 0;
}

void WriteCia(SnapshotWriter& out, const CiaState& cia) {
  out.Block(cia.Registers, sizeof cia.Registers);
  out.U16(cia.TimerACounter);
  out.U16(cia.TimerBCounter);
  out.U16(cia.TimerALatch);
  out.U16(cia.TimerBLatch);
  out.U8(cia.TimerARunning);
  out.U8(cia.TimerBRunning);
  out.U8(cia.InterruptMask);
}

bool ReadCia(SnapshotReader& in, CiaState& cia) {
  in.Block(cia.Registers, sizeof cia.Registers);
  cia.TimerACounter = in.U16();
  cia.TimerBCounter = in.U16();
  cia.TimerALatch = in.U16();
  cia.TimerBLatch = in.U16();
  cia.TimerARunning = in.Flag();
  cia.TimerBRunning = in.Flag();
  cia.InterruptMask = in.U8();
  return cia.InterruptMask <= 0x1F;
}

// The voices are shared with the mixer's timer thread: read and written under their lock.
void WriteSid(SnapshotWriter& out) {
  for (const auto& reg : Sid.Registers) out.U8(reg.load(std::memory_order_relaxed));
  const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
  out.U8(static_cast<std::uint8_t>(ActiveVoices.load()));
  for (const SidVoice& voice : Sid.Voices) {
    out.U8(voice.Wave == nullptr ? NoWave : static_cast<std::uint8_t>(voice.Wave - WaveTables));
    out.U32(voice.Phase);
    out.U32(static_cast<std::uint32_t>(voice.Level.load()));
    out.U8(static_cast<std::uint8_t>(voice.EnvState));
    out.U8(static_cast<std::uint8_t>(voice.Attack.load()));
    out.U8(static_cast<std::uint8_t>(voice.Decay.load()));
    out.U8(static_cast<std::uint8_t>(voice.Sustain.load()));
    out.U8(static_cast<std::uint8_t>(voice.Release.load()));
  }
}

bool ReadSid(SnapshotReader& in, MachineImage& image) {
  in.Block(image.SidRegisters, sizeof image.SidRegisters);
  image.ActiveVoices = in.U8();
  bool valid = image.ActiveVoices <= AllVoicesMask;
  for (SidVoiceImage& voice : image.Voices) {
    voice.Wave = in.U8();
    voice.Phase = in.U32();
    voice.Level = in.U32();
    voice.EnvState = in.U8();
    in.Block(voice.Rates, sizeof voice.Rates);
    valid = valid && (voice.Wave < WaveTableCount || voice.Wave == NoWave) &&
            voice.Phase < (WaveTableLength << PhaseFractionBits) &&
            voice.Level <= static_cast<std::uint32_t>(EnvelopeTop) &&
            voice.EnvState <= EnvelopeRelease;
    for (std::uint8_t rate : voice.Rates) valid = valid && rate <= 15;
  }
  return valid;
}

void WriteBytes(SnapshotWriter& out, const void* data, std::size_t size) {
  out.U32(static_cast<std::uint32_t>(size));
  out.Block(data, size);
}

bool ReadBytes(SnapshotReader& in, std::vector<std::uint8_t>& bytes, std::size_t limit) {
  const std::uint32_t size = in.U32();
  if (in.Failed || size > limit || size > in.Size - in.Position) return false;
  bytes.resize(size);
  in.Block(bytes.data(), size);
  return true;
}

std::vector<std::uint8_t> Body() {
  SnapshotWriter out;
  std::size_t block = BeginBlock(out, "CPU ");
  WriteCpu(out);
  EndBlock(out, block);
  block = BeginBlock(out, "RAM ");
  out.Block(MainRam, MainRamSize);
  out.Block(ColorRam, ColorRamSize);
  EndBlock(out, block);
  block = BeginBlock(out, "VIC ");
  WriteVic(out);
  out.Block(FrameImage.Picture, PictureSize);
  out.Block(FrameImage.LineBorderColor, sizeof FrameImage.LineBorderColor);
  EndBlock(out, block);
  block = BeginBlock(out, "CIA ");
  WriteCia(out, Cia1);
  WriteCia(out, Cia2);
  EndBlock(out, block);
  block = BeginBlock(out, "SID ");
  WriteSid(out);
  EndBlock(out, block);
  block = BeginBlock(out, "PORT");
  out.U8(ProcessorPortLatch);
  out.U8(IdToggle);
  EndBlock(out, block);
  block = BeginBlock(out, "CART");
  out.U8(CartridgeAttached != 0);
  WriteBytes(out, CartridgePath.data(), CartridgePath.size());
  WriteBytes(out, CartridgeImage.data(), CartridgeImage.size());
  EndBlock(out, block);
  block = BeginBlock(out, "KEYS");
  out.Block(KeyMatrix, sizeof KeyMatrix);
  KeyQueueSave(out);
  EndBlock(out, block);
  block = BeginBlock(out, "TIME");
  out.U8(VideoStandard ? 1 : 0);
  out.U16(CycleCounters.LineClock);
  out.U32(static_cast<std::uint32_t>(CycleCounters.FrameCounter));
  out.U64(CycleCounters.Clock);
  EndBlock(out, block);
  return std::move(out.Bytes);
}

// Reads the whole body into `image`, checking every value the machine could not run from.
// Returns an empty string, or what is wrong.
std::string ReadBody(SnapshotReader& in, MachineImage& image) {
  std::size_t end = OpenBlock(in, "CPU ");
  if (!ReadCpu(in, image.Cpu) || !CloseBlock(in, end)) return "is damaged: its processor block";
  end = OpenBlock(in, "RAM ");
  in.Block(image.Ram.data(), image.Ram.size());
  in.Block(image.ColorRam.data(), image.ColorRam.size());
  if (!CloseBlock(in, end)) return "is damaged: its memory block";
  end = OpenBlock(in, "VIC ");
  const bool vic = ReadVic(in, image.Vic);
  in.Block(image.Picture.data(), image.Picture.size());
  in.Block(image.Borders.data(), image.Borders.size());
  if (!vic || !CloseBlock(in, end)) return "is damaged: its VIC-II block";
  end = OpenBlock(in, "CIA ");
  const bool cia1 = ReadCia(in, image.Cias[0]);
  if (!cia1 || !ReadCia(in, image.Cias[1]) || !CloseBlock(in, end)) {
    return "is damaged: its CIA block";
  }
  end = OpenBlock(in, "SID ");
  if (!ReadSid(in, image) || !CloseBlock(in, end)) return "is damaged: its SID block";
  end = OpenBlock(in, "PORT");
  image.PortLatch = in.U8();
  image.IdToggle = in.U8();
  if (!CloseBlock(in, end)) return "is damaged: its processor port block";
  end = OpenBlock(in, "CART");
  image.CartridgeAttached = in.Flag();
  std::vector<std::uint8_t> path;
  if (!ReadBytes(in, path, MaxPathLength) ||
      !ReadBytes(in, image.CartridgeImage, CartridgeImageMaxSize) || !CloseBlock(in, end)) {
    return "is damaged: its cartridge block";
  }
  image.CartridgePath.assign(path.begin(), path.end());
  end = OpenBlock(in, "KEYS");
  in.Block(image.KeyMatrix, sizeof image.KeyMatrix);
  image.KeyQueueAt = in.Position;
  if (!KeyQueueLoad(in, false) || !CloseBlock(in, end)) return "is damaged: its keyboard block";
  end = OpenBlock(in, "TIME");
  image.VideoStandard = in.U8();
  image.LineClock = in.U16();
  image.FrameCounter = static_cast<std::int32_t>(in.U32());
  image.Clock = in.U64();
  if (!CloseBlock(in, end) || image.VideoStandard > 1 || image.LineClock >= NtscLineThreshold ||
      image.FrameCounter < 0) {
    return "is damaged: its counters block";
  }
  if (in.Position != in.Size) return "is damaged: it goes on after its last block";
  return "";
}

void Apply(const MachineImage& image, const std::uint8_t* body, std::size_t bodySize) {
  Cpu = image.Cpu;
  std::memcpy(MainRam, image.Ram.data(), MainRamSize);
  std::memcpy(ColorRam, image.ColorRam.data(), ColorRamSize);
  Vic = image.Vic;
  std::memcpy(FrameImage.Picture, image.Picture.data(), PictureSize);
  std::memcpy(FrameImage.LineBorderColor, image.Borders.data(), image.Borders.size());
  Cia1 = image.Cias[0];
  Cia2 = image.Cias[1];
  for (int i = 0; i < SidRegisterCount; ++i) {
    Sid.Registers[i].store(image.SidRegisters[i], std::memory_order_relaxed);
  }
  {
    const std::lock_guard<std::mutex> lock(Sid.VoiceLock);
    ActiveVoices.store(image.ActiveVoices);
    for (int i = 0; i < SidVoiceCount; ++i) {
      const SidVoiceImage& from = image.Voices[i];
      SidVoice& voice = Sid.Voices[i];
      voice.Wave = from.Wave == NoWave ? nullptr : &WaveTables[from.Wave];
      voice.Phase = from.Phase;
      voice.Level.store(static_cast<std::int32_t>(from.Level));
      voice.EnvState = from.EnvState;
      voice.Attack.store(from.Rates[0]);
      voice.Decay.store(from.Rates[1]);
      voice.Sustain.store(from.Rates[2]);
      voice.Release.store(from.Rates[3]);
    }
  }
  ProcessorPortLatch = image.PortLatch;
  IdToggle = image.IdToggle;
  CartridgeAttached = image.CartridgeAttached ? 1 : 0;
  CartridgePath = image.CartridgePath;
  CartridgeImage = image.CartridgeImage;
  CartridgeImageKept = 1;
  std::memcpy(KeyMatrix, image.KeyMatrix, sizeof KeyMatrix);
  SnapshotReader keys{body, bodySize, image.KeyQueueAt};
  KeyQueueLoad(keys, true);
  VideoStandard = image.VideoStandard ? VideoStandardPal : VideoStandardNtsc;
  CycleCounters.LineClock = image.LineClock;
  CycleCounters.FrameCounter = image.FrameCounter;
  CycleCounters.Clock = image.Clock;
  // What follows from the state rather than being part of it: the timers have counted up to
  // the clock, and the memory map is the one the port selects.
  CiaClock = image.Clock;
  SelectMemoryMap();
}

std::uint32_t ReadWord(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

}  // namespace

std::uint32_t SnapshotChecksum(const std::uint8_t* data, std::size_t size) {
  return Crc32(data, size);
}

std::vector<std::uint8_t> SnapshotSave() {
  // The timers count lazily: brought up to the clock, they are what the machine holds now.
  CiaCatchUp();
  const std::vector<std::uint8_t> body = Body();
  SnapshotWriter out;
  out.Block(Magic, sizeof Magic);
  out.U32(SnapshotFormatVersion);
  out.U32(SnapshotHeaderSize);
  out.U32(static_cast<std::uint32_t>(body.size()));
  out.U32(SnapshotChecksum(body.data(), body.size()));
  out.Block(body.data(), body.size());
  return std::move(out.Bytes);
}

std::string SnapshotLoad(const std::uint8_t* data, std::size_t size) {
  if (size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0) {
    return "is not a Quillon snapshot";
  }
  if (size < SnapshotHeaderSize) return "is cut short";
  const std::uint32_t version = ReadWord(data + 8);
  const std::uint32_t headerSize = ReadWord(data + 12);
  const std::uint32_t bodySize = ReadWord(data + 16);
  if (version > SnapshotFormatVersion) {
    return "is a snapshot of format " + std::to_string(version) +
           " from a newer Quillon; this one reads format " +
           std::to_string(SnapshotFormatVersion);
  }
  if (version == 0 || headerSize != SnapshotHeaderSize) return "is damaged: its header";
  if (bodySize > size - SnapshotHeaderSize) return "is cut short";
  if (bodySize < size - SnapshotHeaderSize) return "is damaged: it is longer than it says";
  const std::uint8_t* body = data + SnapshotHeaderSize;
  if (SnapshotChecksum(body, bodySize) != ReadWord(data + 20)) {
    return "is damaged: its checksum does not match";
  }
  auto image = std::make_unique<MachineImage>();
  SnapshotReader in{body, bodySize};
  const std::string error = ReadBody(in, *image);
  if (!error.empty()) return error;
  Apply(*image, body, bodySize);
  return "";
}

std::string SnapshotSaveFile(const std::string& path) {
  const std::vector<std::uint8_t> bytes = SnapshotSave();
  return ReplaceFile(path, bytes.data(), bytes.size());
}

std::string SnapshotLoadFile(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return "cannot read '" + path + "': " + error.message();
  if (size > SnapshotMaxSize) return "'" + path + "' is too large to be a Quillon snapshot";
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  std::ifstream file(path, std::ios::binary);
  file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!file) return "cannot read '" + path + "'";
  const std::string reason = SnapshotLoad(bytes.data(), bytes.size());
  return reason.empty() ? "" : "'" + path + "' " + reason;
}

}  // namespace quillon
